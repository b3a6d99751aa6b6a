// Saving, loading and exporting data sets from the window, and its language: the file
// dialogs and boxes are answered by fakes, the instrument is the fixture's store.

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

#include "device/connection.h"
#include "files/data_file_writer.h"
#include "form_fixture.h"
#include "measure/meas_data.h"
#include "settings/ini_file.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

namespace fs = std::filesystem;

// Three data sets, 1.5 s apart from the first to the second, as a comma locale writes them.
const std::string kThreeDataSets =
    "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = N\t[MaxFilt] = N"
    "\t(100ms)\r\n"
    "1\t09.12.2025\t12:00:00\t000\t 1,5\t 1,0\t 2,0\t 1,1\t 1,9\r\n"
    "2\t09.12.2025\t12:00:01\t500\t 2,5\t 2,0\t 3,0\t 2,1\t 2,9\r\n"
    "3\t09.12.2025\t12:00:03\t000\t-3,5\t-4,0\t-3,0\t-3,9\t-3,1\r\n";

class FilesTest : public FormTest {
protected:
    // Tests of this program may also run in one process: each starts without the files of
    // the one before.
    FilesTest() {
        std::error_code ignored;
        fs::remove(ChoiceFile(), ignored);
        fs::remove_all(Folder(), ignored);
        languageIndex = 0;
    }
    // The real window: its save writes files (the fixture's window only counts saves).
    ui::TForm1& StartRealForm() {
        form = std::make_unique<ui::TForm1>();
        windowPort = std::make_unique<ui::FormWindowPort>(*form);
        ports().window = windowPort.get();
        form->FormShow();
        return *form;
    }
    ui::TForm1& Connected() {
        StartRealForm();
        AttachInstrument();
        return *form;
    }
    void SingleShot(std::int16_t raw) {
        form->ButtonSingleShot->click();
        FeedAndTick(1, raw);
    }
    static std::string Folder() { return IsolatedEnvironment::Root() + "/files"; }
    static std::string PathOf(const std::string& name) { return Folder() + "/" + name; }
    std::string WriteDataFile(const std::string& name, const std::string& bytes) {
        WriteFileBytes(PathOf(name), bytes);
        return PathOf(name);
    }
    void Load(const std::string& path) {
        boxes.openAnswer = QString::fromStdString(path);
        form->loadFromFileClick();
    }
    void Save(const std::string& path) {
        fs::create_directories(Folder());
        boxes.saveAnswer = QString::fromStdString(path);
        form->saveToFileClick();
    }
    std::vector<double> Xs(int slot) const {
        std::vector<double> xs;
        QCPGraph* graph = form->Chart1->Series(slot);
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            xs.push_back(it->key);
        return xs;
    }
    std::vector<double> Ys(int slot) const {
        std::vector<double> ys;
        QCPGraph* graph = form->Chart1->Series(slot);
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            ys.push_back(it->value);
        return ys;
    }
    static std::string LanguageFile() { return LanguageFilePath().value(); }
    // Started outside the installation folder, the choice lives beside the settings in the
    // working directory.
    static std::string ChoiceFile() { return IsolatedEnvironment::Root() + "/work/731config.lng"; }
};

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// --- Save ---

TEST_F(FilesTest, SaveWritesHeaderAndOneLinePerDataSetWithCrLf) {
    ui::TForm1& f = Connected();
    SingleShot(10);
    SingleShot(20);
    const std::string path = PathOf("two.txt");
    Save(path);
    EXPECT_TRUE(boxes.messages.empty()) << boxes.messages[0].text;
    const std::string bytes = ReadFileBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const auto lines = LinesOf(bytes);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t"
                        "[MinFilt] = N\t[MaxFilt] = N\t(100ms)");
    for (int line = 1; line <= 2; ++line) {
        SCOPED_TRACE(line);
        QStringList cells;
        for (int c = 0; c < ui::DataSetListModel::kColumns; ++c)
            cells.append(f.listModel->Cell(line - 1, c));
        EXPECT_EQ(lines[static_cast<std::size_t>(line)], cells.join(QLatin1Char('\t')).toStdString());
    }
}

TEST_F(FilesTest, SaveWithoutDataSetsOrCancelledWritesNothing) {
    struct Case {
        const char* name;
        bool answerDialog;
        std::vector<Box> expected;
    } cases[] = {
        {"empty table", true, {{"No valid data sets available", "Error"}}},
        {"cancelled", false, {}},
    };
    Connected();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.messages.clear();
        const std::string path = PathOf(c.name);
        Save(c.answerDialog ? path : std::string());
        EXPECT_EQ(boxes.messages, c.expected);
        EXPECT_FALSE(fs::exists(path));
    }
}

TEST_F(FilesTest, SaveAfterClearAllShowsTheEmptyTableMessage) {
    ui::TForm1& f = Connected();
    SingleShot(10);
    f.ClrAllClick();
    Save(PathOf("cleared.txt"));
    EXPECT_EQ(boxes.messages, (std::vector<Box>{{"No valid data sets available", "Error"}}));
    EXPECT_FALSE(fs::exists(PathOf("cleared.txt")));
}

TEST_F(FilesTest, FailedSaveNamesTheFileAndKeepsTheOldOne) {
    Connected();
    for (int i = 0; i < 3; ++i)
        SingleShot(static_cast<std::int16_t>(100 + i));
    const std::string path = WriteDataFile("old.txt", "old\r\n");

    // The write fails part-way once the file would grow beyond 64 bytes.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Save(path);
    setrlimit(RLIMIT_FSIZE, &saved);

    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].caption, "Error");
    EXPECT_NE(boxes.messages[0].text.find(path), std::string::npos) << boxes.messages[0].text;
    EXPECT_EQ(ReadFileBytes(path), "old\r\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Folder()))
        ++entries;
    EXPECT_EQ(entries, 1) << "no partial file is left beside the old one";
}

// --- Load ---

TEST_F(FilesTest, LoadFillsListTableAndChartAndGivesTheFileLoadedState) {
    ui::TForm1& f = Connected();
    SingleShot(77); // replaced by the load
    Load(WriteDataFile("three.txt", kThreeDataSets));

    EXPECT_TRUE(boxes.messages.empty());
    ASSERT_EQ(f.listModel->LineCount(), 4);
    EXPECT_EQ(f.listModel->Cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(f.listModel->Cell(1, 3), QStringLiteral("500"));
    EXPECT_EQ(f.listModel->Cell(1, 4), QStringLiteral("2,5")); // the blank in front is a separator
    EXPECT_EQ(f.listModel->Cell(3, 0), QString());             // the blank row at the end
    EXPECT_EQ(f.listModel->Caption(3), QStringLiteral("[Diff]=ms"));
    EXPECT_EQ(f.listModel->Caption(4), QStringLiteral("[Value]=N"));
    EXPECT_EQ(f.Chart1->yAxis->label(), QStringLiteral("[Value]=N"));

    EXPECT_EQ(measData->GetDataListPos(), 2);
    EXPECT_EQ(measData->GetRowMean(0), "1,5");
    EXPECT_EQ(measData->GetRowTime(2), "12:00:03");

    EXPECT_EQ(Xs(ui::kSlotValue), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Ys(ui::kSlotValue), (std::vector<double>{1.5, 2.5, -3.5}));
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotMaxAvr), 0); // not ticked

    EXPECT_TRUE(f.dataLoadedFromFile);
    EXPECT_FALSE(f.RadioGroupGraficMode->isEnabled());
    EXPECT_TRUE(f.ButtonExcel->isEnabled());
    EXPECT_FALSE(f.saveToFile->isEnabled());
    EXPECT_EQ(f.ErrorString->text(), QString());
}

TEST_F(FilesTest, LoadPlacesPointsByNumberOrBySecondsSinceTheFirstRow) {
    struct Case {
        int mode;
        std::vector<double> xs;
        bool lines;
    } cases[] = {
        {0, {1, 2, 3}, false},
        {1, {0, 1.5, 3}, false},
        {2, {0, 1.5, 3}, true},
    };
    ui::TForm1& f = Connected();
    const std::string path = WriteDataFile("three.txt", kThreeDataSets);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        f.ClrAllClick(); // the mode group is locked after a load
        f.graficModeItems[static_cast<std::size_t>(c.mode)]->click();
        Load(path);
        EXPECT_EQ(f.Chart1->UsesLineSeries(), c.lines);
        EXPECT_EQ(Xs(ui::kSlotMin), c.xs);
    }
}

// A large file takes a while to read: the wait cursor shows meanwhile, and only then.
TEST_F(FilesTest, LoadShowsTheWaitCursorWhileItReads) {
    // The reader asks the regional settings for every row's date: the moment to look.
    struct WatchingRegional : FakeRegional {
        std::optional<double> ParseDateTime(std::string_view text) const override {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            shapes.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
            return FakeRegional::ParseDateTime(text);
        }
        mutable std::vector<Qt::CursorShape> shapes;
    } regional;
    Connected();
    ports().regional = &regional;
    Load(WriteDataFile("three.txt", kThreeDataSets));
    ports().regional = &fakes.regional;
    EXPECT_EQ(regional.shapes, std::vector<Qt::CursorShape>(3, Qt::WaitCursor));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FilesTest, SingleShotAfterALoadClearsTheLoadedRowsFirst) {
    ui::TForm1& f = Connected();
    Load(WriteDataFile("three.txt", kThreeDataSets));
    ASSERT_EQ(measData->GetDataListPos(), 2);
    SingleShot(42);
    EXPECT_FALSE(f.dataLoadedFromFile);
    ASSERT_EQ(f.listModel->LineCount(), 1);
    EXPECT_EQ(measData->GetDataListPos(), 0);
    EXPECT_EQ(f.listModel->Cell(0, 4).toStdString(), measData->GetRowMean(0));
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 1);
}

TEST_F(FilesTest, UnreadableFilesClearEverythingAndSayWhy) {
    struct Case {
        const char* name;
        std::optional<std::string> bytes; // nullopt: no such file
        Box expected;
    } cases[] = {
        {"missing", std::nullopt, {"File not found", "ERROR"}},
        {"empty", std::string(), {"unknown file format", "Error"}},
        {"other text", std::string("Date\tTime\r\n1\t2\r\n"), {"unknown file format", "Error"}},
    };
    ui::TForm1& f = Connected();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SingleShot(5);
        boxes.messages.clear();
        Load(c.bytes ? WriteDataFile(c.name, *c.bytes) : PathOf(c.name));
        EXPECT_EQ(boxes.messages, std::vector<Box>{c.expected});
        EXPECT_EQ(f.listModel->LineCount(), 0);
        EXPECT_EQ(measData->GetDataListPos(), -1);
        EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 0);
        EXPECT_FALSE(f.dataLoadedFromFile);
        EXPECT_EQ(f.ErrorString->text(), QString());
    }
}

TEST_F(FilesTest, CancelledLoadClearsOnlyTheStatusLine) {
    ui::TForm1& f = Connected();
    SingleShot(5);
    Load(std::string());
    EXPECT_EQ(f.listModel->LineCount(), 1);
    EXPECT_EQ(measData->GetDataListPos(), 0);
    EXPECT_EQ(f.ErrorString->text(), QString());
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(FilesTest, ConversionErrorKeepsEarlierRowsAndLeavesTheModeGroupOpen) {
    ui::TForm1& f = Connected();
    std::string bytes = kThreeDataSets;
    bytes.replace(bytes.find("-3,5"), 4, "abc");
    Load(WriteDataFile("bad.txt", bytes));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].caption, "Error");
    EXPECT_EQ(Ys(ui::kSlotValue), (std::vector<double>{1.5, 2.5}));
    EXPECT_GE(f.listModel->LineCount(), 2);
    EXPECT_EQ(measData->GetRowMean(1), "2,5");
    EXPECT_TRUE(f.RadioGroupGraficMode->isEnabled());
    EXPECT_EQ(f.ErrorString->text(), QString());
}

TEST_F(FilesTest, LoadWithoutAStoreOnlyListsAndDraws) {
    ui::TForm1& f = StartRealForm();
    DisconnectInstrument();
    DestroyMeasData();
    ASSERT_EQ(measData, nullptr);
    Load(WriteDataFile("three.txt", kThreeDataSets));
    EXPECT_EQ(measData, nullptr);
    EXPECT_EQ(f.listModel->LineCount(), 4);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 3);
    EXPECT_TRUE(f.ButtonExcel->isEnabled());
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(FilesTest, SavedDataSetsLoadBackIntoTheSameRows) {
    ui::TForm1& f = Connected();
    for (int i = 0; i < 3; ++i)
        SingleShot(static_cast<std::int16_t>(-5 + 7 * i));
    std::vector<QStringList> recorded;
    for (int line = 0; line < 3; ++line) {
        QStringList cells;
        for (int c = 0; c < ui::DataSetListModel::kColumns; ++c)
            cells.append(f.listModel->Cell(line, c).trimmed());
        recorded.push_back(cells);
    }
    const std::vector<double> ys = Ys(ui::kSlotValue);
    const std::string path = PathOf("round.txt");
    Save(path);
    Load(path);
    ASSERT_EQ(f.listModel->LineCount(), 4);
    for (int line = 0; line < 3; ++line) {
        SCOPED_TRACE(line);
        for (int c = 0; c < ui::DataSetListModel::kColumns; ++c)
            EXPECT_EQ(f.listModel->Cell(line, c), recorded[static_cast<std::size_t>(line)][c]);
    }
    EXPECT_EQ(Ys(ui::kSlotValue), ys);
}

// --- Clipboard ---

TEST_F(FilesTest, ClipboardHoldsTheFileTextAndTheSpreadsheetStarts) {
    const std::string bin = IsolatedEnvironment::Root() + "/bin";
    WriteFileBytes(bin + "/localc", "#!/bin/sh\n");
    fs::permissions(bin + "/localc", fs::perms::owner_all);
    setenv("PATH", bin.c_str(), 1);

    ui::TForm1& f = Connected();
    for (int i = 0; i < 3; ++i)
        SingleShot(static_cast<std::int16_t>(i + 1));
    f.ButtonExcelClick();
    const std::string path = PathOf("same.txt");
    Save(path);

    const std::string clip = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_EQ(clip, ReadFileBytes(path));
    EXPECT_EQ(LinesOf(clip).size(), 4u);
    ASSERT_EQ(fakes.launcher.calls.size(), 1u);
    EXPECT_EQ(fakes.launcher.calls[0].program, bin + "/localc");
}

TEST_F(FilesTest, ClipboardOfAnEmptyTableHoldsTheHeaderAlone) {
    setenv("PATH", "", 1); // no spreadsheet: nothing starts, nothing is said
    ui::TForm1& f = Connected();
    f.ButtonExcelClick();
    const auto lines = LinesOf(QGuiApplication::clipboard()->text().toStdString());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Number\t", 0), 0u);
    EXPECT_TRUE(fakes.launcher.calls.empty());
    EXPECT_TRUE(boxes.messages.empty());
}

// --- Language ---

TEST_F(FilesTest, StartUpEndsAtAnUnreadableLanguageFile) {
    SetLanguageFileReader([](const std::string& path) {
        if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".lng") == 0) {
            IniFile::LoadResult failed;
            failed.ok = false;
            failed.error = "Permission denied";
            return failed;
        }
        return IniFile::Load(path);
    });
    ui::TForm1& f = StartRealForm();
    SetLanguageFileReader(nullptr);
    EXPECT_EQ(boxes.messages, (std::vector<Box>{{"Error Language File", "WARNING"}}));
    EXPECT_FALSE(f.startupDone);
    EXPECT_FALSE(f.windowTitle().contains(QStringLiteral("Version")));
    EXPECT_EQ(f.Language->count(), 0);
}

TEST_F(FilesTest, LanguageOneTranslatesCaptionsAndFillsTheLanguageFile) {
    WriteFileBytes(ChoiceFile(), "[Config]\r\nLang=1\r\n");
    WriteFileBytes(LanguageFile(), "[LANGUAGE1]\r\nLanguage=Deutsch\r\n&SAVE=&SPEICHERN\r\n"
                                   "number=Nummer\r\ngrafic mode=Grafikmodus\r\nMean to key buffer=#\r\n"
                                   "Firmware:=Firmware-Stand:\r\n[LANGUAGE2]\r\nLanguage=Français\r\n");
    ui::TForm1& f = StartRealForm();
    ASSERT_EQ(LanguageChoicePath(), ChoiceFile());
    EXPECT_TRUE(f.startupDone);
    EXPECT_EQ(languageIndex, 1);
    ASSERT_EQ(f.Language->count(), 3);
    EXPECT_EQ(f.Language->itemText(2), QStringLiteral("Français"));
    EXPECT_EQ(f.Language->currentIndex(), 1);

    EXPECT_EQ(f.saveToFile->text(), QStringLiteral("&SPEICHERN"));
    EXPECT_EQ(f.graficModeItems[0]->text(), QStringLiteral("Nummer"));
    EXPECT_EQ(f.RadioGroupGraficMode->title(), QStringLiteral("Grafikmodus"));
    EXPECT_EQ(f.Label2->text(), QStringLiteral("Firmware-Stand:"));
    EXPECT_EQ(f.loadFromFile->text(), QStringLiteral("&LOAD"));
    EXPECT_FALSE(f.Image1->pixmap().isNull()) << "an image label keeps its picture";

    const IniFile::LoadResult written = IniFile::Load(LanguageFile());
    ASSERT_TRUE(written.ok);
    const std::string section = LanguageSection(1);
    EXPECT_EQ(written.file.ReadString(section, "&LOAD", "?"), "&LOAD");
    EXPECT_EQ(written.file.ReadString(section, "Mean to key buffer", "?"), "Mean to key buffer");
    EXPECT_EQ(written.file.ReadString(section, "&SAVE", "?"), "&SPEICHERN");
    // Series titles and check boxes are looked up too.
    const QString title = f.Chart1->Series(ui::kSlotValue)->name();
    EXPECT_EQ(written.file.ReadString(section, title.toStdString(), "?"), title.toStdString());
    const QString mean = f.CheckBoxMean->text();
    EXPECT_EQ(written.file.ReadString(section, mean.toStdString(), "?"), mean.toStdString());
    // Nothing of another language is touched.
    EXPECT_EQ(written.file.ReadString(LanguageSection(2), "&LOAD", "?"), "?");
}

// The keys of a section in the order the file holds them.
std::vector<std::string> KeysInOrder(const std::string& text, const std::string& section) {
    std::vector<std::string> keys;
    bool inside = false;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('['))
            inside = line == "[" + section + "]";
        else if (inside && line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

// A new language section is filled from the last control the window created to the
// first, whatever order the window keeps them in for drawing.
TEST_F(FilesTest, NewLanguageSectionIsFilledInReverseCreationOrder) {
    WriteFileBytes(ChoiceFile(), "[Config]\r\nLang=1\r\n");
    WriteFileBytes(LanguageFile(), "[LANGUAGE1]\r\n");
    StartRealForm();
    const std::vector<std::string> expected = {
        // mode group: its caption, then its items
        "grafic mode", "number", "time", "time with lines",
        // chart series, first to last
        "Value", "Min.", "Max.", "Min. averaged", "Max. averaged",
        // overflow mark, mean of means, then the series check boxes and value labels
        "!", "---", "Mean of means", "-", "Numbers", "Minimum", "Minimum averaged", "Mean value",
        "Maximum averaged", "Maximum", "Clear peak auto",
        // buttons, last to first
        "&ZOOM ALL", "Clipboard + &Excel", "&SAVE", "&LOAD", "ST&OP AUTO", "ST&ART AUTO", "S&INGLE SHOT",
        "CL&R ALL MEASUREMENTS", "&CLR LAST MEASUREMENT", "Z&ero", "Clr &Peak",
        // identity lines, last to first, then the status line and the title
        "Mean to key buffer", "Actual Dataset:", "Nominal Value:", "Serial No. Sensor:", "Serial No. Device:",
        "Firmware:", "Hi. Res.", "Tensolog not found", "KANTREL 731 USB"};
    EXPECT_EQ(KeysInOrder(ReadFileBytes(LanguageFile()), "LANGUAGE1"), expected);
}

TEST_F(FilesTest, EnglishLeavesTheLanguageFileAlone) {
    const std::string text = "[LANGUAGE1]\r\nLanguage=Deutsch\r\n";
    WriteFileBytes(LanguageFile(), text);
    ui::TForm1& f = StartRealForm();
    EXPECT_EQ(f.Language->count(), 2);
    EXPECT_EQ(f.Language->currentIndex(), 0);
    EXPECT_EQ(f.saveToFile->text(), QStringLiteral("&SAVE"));
    EXPECT_EQ(ReadFileBytes(LanguageFile()), text);
}

TEST_F(FilesTest, ChoiceWithoutItsLanguageSelectsNothing) {
    WriteFileBytes(ChoiceFile(), "[Config]\r\nLang=3\r\n");
    WriteFileBytes(LanguageFile(), "[LANGUAGE1]\r\nLanguage=Deutsch\r\n[LANGUAGE2]\r\nLanguage=Dansk\r\n");
    ui::TForm1& f = StartRealForm();
    EXPECT_EQ(f.Language->count(), 3);
    EXPECT_EQ(f.Language->currentIndex(), -1);
    const IniFile::LoadResult written = IniFile::Load(LanguageFile());
    EXPECT_EQ(written.file.ReadString(LanguageSection(3), "&SAVE", "?"), "&SAVE");
}

TEST_F(FilesTest, LanguageChangeStoresTheChoiceAndCloses) {
    WriteFileBytes(LanguageFile(), "[LANGUAGE1]\r\nLanguage=Deutsch\r\n");
    ui::TForm1& f = StartRealForm();
    f.show();
    ASSERT_TRUE(f.isVisible());
    f.LanguageChange(1);
    EXPECT_EQ(boxes.messages,
              (std::vector<Box>{{"Language changed, please restart application", "INFORMATION"}}));
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(languageIndex, 0) << "the new language waits for the next start";
    const IniFile::LoadResult choice = IniFile::Load(LanguageChoicePath().value());
    EXPECT_EQ(choice.file.ReadInteger("Config", "Lang", -1), 1);
}

} // namespace
} // namespace kantrel::test
