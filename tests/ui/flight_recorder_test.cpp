// The flight recorder with the window: what the window stores is recorded, SAVE and the
// clipboard tell the recorder that the data sets are saved, and the recording of an
// unsaved run is offered in an INFORMATION box once the start-up is over.

#include <QCoreApplication>
#include <QPushButton>
#include <filesystem>

#include "device/device_parameters.h"
#include "files/data_file_writer.h"
#include "files/flight_recorder.h"
#include "form_fixture.h"
#include "measure/meas_data.h"
#include "support/test_environment.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

namespace fs = std::filesystem;

class SaveCounter : public DataSetSink {
public:
    void DataSetsSaved() override { ++saves; }
    int saves = 0;
};

class FlightRecorderFormTest : public FormTest {
protected:
    FlightRecorderFormTest() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder);
    }
    ~FlightRecorderFormTest() override {
        if (recorder)
            recorder->Close();
        ports().dataSets = nullptr;
    }
    // The real window: its save writes files.
    ui::TForm1& Connected() {
        form = std::make_unique<ui::TForm1>();
        windowPort = std::make_unique<ui::FormWindowPort>(*form);
        ports().window = windowPort.get();
        form->FormShow();
        AttachInstrument();
        return *form;
    }
    void Save(const std::string& path) {
        boxes.saveAnswer = QString::fromStdString(path);
        form->saveToFileClick();
    }
    void SingleShot(std::int16_t raw) {
        form->ButtonSingleShot->click();
        FeedAndTick(1, raw);
    }
    FlightRecorder& StartRecorder() {
        RecorderOptions options;
        options.folder = folder;
        recorder = std::make_unique<FlightRecorder>(std::move(options));
        ports().dataSets = recorder.get();
        recorder->Start();
        recorder->writer().WaitUntilWritten();
        return *recorder;
    }
    std::vector<std::string> Recordings() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            if (IsRecordingFileName(entry.path().filename().string()))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder = IsolatedEnvironment::Root() + "/recordings";
    std::unique_ptr<FlightRecorder> recorder;
};

TEST_F(FlightRecorderFormTest, RecordsWhatTheWindowStoresAfterEachTick) {
    ui::TForm1& f = Connected();
    StartRecorder();
    f.Start->click(); // START AUTO
    FeedAndTick(250, 3);
    QCoreApplication::processEvents(); // the hand-off posted by the tick
    recorder->writer().WaitUntilWritten();

    ASSERT_EQ(Recordings().size(), 1u);
    const std::string bytes = ReadFileBytes(folder + "/" + Recordings()[0]);
    const std::string header = BuildHeaderLine(DataSetCaptions("N"), sampleRateIndex);
    EXPECT_EQ(bytes.substr(0, header.size() + 2), header + "\r\n");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 1 + 250);
    EXPECT_EQ(bytes.substr(bytes.rfind("\n250\t") + 1), FormatDataSetLine(*measData, 250, 249) + "\r\n");
}

TEST_F(FlightRecorderFormTest, SaveAndClipboardTellTheRecorderWhenTheyHandedOverDataSets) {
    setenv("PATH", "", 1); // no spreadsheet program
    const struct Case {
        const char* name;
        bool withDataSets;
        std::function<void()> act;
        int saves;
    } cases[] = {
        {"saved", true, [this] { Save(folder + "/saved.txt"); }, 1},
        {"save cancelled", true, [this] { Save(""); }, 0},
        {"save failed", true, [this] { Save(folder + "/missing/x.txt"); }, 0},
        {"nothing to save", false, [this] { Save(folder + "/empty.txt"); }, 0},
        {"clipboard", true, [this] { form->ButtonExcelClick(); }, 1},
        {"clipboard of an empty table", false, [this] { form->ButtonExcelClick(); }, 0},
    };
    Connected();
    SaveCounter counter;
    ports().dataSets = &counter;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->ClrAllClick();
        if (c.withDataSets)
            SingleShot(5);
        counter.saves = 0;
        c.act();
        EXPECT_EQ(counter.saves, c.saves);
    }
}

TEST_F(FlightRecorderFormTest, UnsavedRecordingIsOfferedAfterTheStartUpAndLoads) {
    const std::string name = "recording-2025-12-09_12-00-00-000.txt";
    const std::string header = BuildHeaderLine(DataSetCaptions("N"), 0);
    WriteFileBytes(folder + "/" + name,
                   header + "\r\n1\t09.12.2025\t12:00:00\t000\t   1,0\t   1,0\t   1,0\t   1,0\t   1,0\r\n"
                            "2\t09.12.2025\t12:00:00\t001\t   2,0\t   1,0\t   2,0\t   1,0\t   2,0\r\n");
    WriteFileBytes(folder + "/last-run.ini", "[LastRun]\nFiles=1\nFile1=" + name + "\n");

    ui::TForm1& f = Connected();
    StartRecorder();
    EXPECT_TRUE(boxes.messages.empty()); // not inside the start-up
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0], (Box{RecoveryMessage({{name, 2}}, folder), "INFORMATION"}));

    boxes.openAnswer = QString::fromStdString(folder + "/" + name);
    f.loadFromFileClick();
    EXPECT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(f.listModel->Cell(1, 4), QStringLiteral("2,0"));
    EXPECT_EQ(measData->GetDataListPos(), 1);
}

} // namespace
} // namespace kantrel::test
