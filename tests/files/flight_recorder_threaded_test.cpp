// The flight recorder with its worker thread: every stored data set reaches a recording
// that LOAD opens, in order, past the wrap of the table and after clearing; a full disk
// or an unwritable folder is reported once while measuring goes on; the next start
// offers what was not saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <sys/resource.h>

#include "files/data_file_reader.h"
#include "files/flight_recorder.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/measurement_fixture.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kHeader1ms = "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t"
                               "[MinFilt] = N\t[MaxFilt] = N\t(1ms)";

// Passes each data set on to the recorder and keeps the line it must become (without
// its number, which belongs to the recording).
class TeeSink : public DataSetSink {
public:
    explicit TeeSink(DataSetSink& next) : next_(next) {}
    void DataSetStored(const TMeasData& store, int row) override {
        tails.push_back(FormatDataSetLine(store, 0, row).substr(1));
        next_.DataSetStored(store, row);
    }
    void DataSetsSaved() override { next_.DataSetsSaved(); }
    std::vector<std::string> tails;

private:
    DataSetSink& next_;
};

std::vector<std::string> Lines(const std::string& path) {
    const std::string bytes = test::ReadFileBytes(path);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(at) + "<torn>");
            break;
        }
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

class FlightRecorderTest : public testing::Test {
protected:
    void SetUp() override {
        test::UseIdentityParameters();
        sampleRateIndex = 0;
        store.SetAutoRecording(true);
    }
    void TearDown() override { ports().dataSets = nullptr; }

    RecorderOptions Options() {
        RecorderOptions options;
        options.folder = folder;
        options.retryPause = 0ms;
        options.calls = calls;
        return options;
    }
    FlightRecorder& StartRecorder(RecorderOptions options) {
        recorder = std::make_unique<FlightRecorder>(std::move(options));
        tee = std::make_unique<TeeSink>(*recorder);
        ports().dataSets = tee.get();
        recorder->Start();
        recorder->writer().WaitUntilWritten();
        return *recorder;
    }
    FlightRecorder& StartRecorder() { return StartRecorder(Options()); }

    // One refresh tick that stores `count` data sets, then the hand-off that the window
    // runs right after the tick.
    void Tick(int count) {
        for (int i = 0; i < count; ++i)
            test::PushSample(store, 0, static_cast<std::int16_t>(nextRaw++ % 30000));
        store.ProcessSamples();
        scope.window.RunPosted();
    }
    void Record(int count) {
        for (; count > 0; count -= 500)
            Tick(std::min(count, 500));
    }

    std::vector<std::string> Recordings() const {
        std::vector<std::string> names;
        if (fs::is_directory(folder))
            for (const auto& entry : fs::directory_iterator(folder))
                if (IsRecordingFileName(entry.path().filename().string()))
                    names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string PathOf(const std::string& name) const { return folder + "/" + name; }
    // The lines a recording must hold: the header, then the given data sets numbered from 1.
    std::vector<std::string> Expected(const std::string& header, std::size_t from, std::size_t to) const {
        std::vector<std::string> lines{header};
        for (std::size_t i = from; i < to; ++i)
            lines.push_back(std::to_string(i - from + 1) + tee->tails[i]);
        return lines;
    }
    std::vector<std::string> StatusTexts() {
        scope.window.RunPosted();
        return scope.window.statusTexts;
    }

    test::PortsScope scope;
    TMeasData store{1};
    int nextRaw = 1;
    std::string folder = test::IsolatedEnvironment::Root() + "/" +
                         testing::UnitTest::GetInstance()->current_test_info()->name() + "/recordings";
    FileCalls calls = FileCalls::System();
    std::unique_ptr<FlightRecorder> recorder;
    std::unique_ptr<TeeSink> tee;
};

TEST_F(FlightRecorderTest, RecordingLoadsAsTheDataFileOfItsDataSets) {
    StartRecorder();
    Record(5);
    recorder->Close();

    ASSERT_EQ(Recordings().size(), 1u);
    EXPECT_EQ(Lines(PathOf(Recordings()[0])), Expected(kHeader1ms, 0, 5));
    DataFileReadOptions options;
    const DataFileContent loaded = LoadDataFile(PathOf(Recordings()[0]), options);
    EXPECT_EQ(loaded.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(loaded.storedRows, 5);
    EXPECT_EQ(loaded.captions[4], "[Value]=N");
    // Words lose their leading blanks on loading.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(loaded.rows[static_cast<std::size_t>(i)].subItems[3],
                  store.Row(i).meanText.substr(store.Row(i).meanText.find_first_not_of(' ')));
}

TEST_F(FlightRecorderTest, KeepsEveryDataSetPastTheWrapAndAfterClearing) {
    StartRecorder();
    Record(3000);
    store.DropLastRow(); // CLR LAST
    Record(3000);
    store.ClearDataList(); // CLR ALL
    Record(kDataListSize + 10);
    ASSERT_TRUE(store.IsDataListWrapped());
    recorder->Close();

    ASSERT_EQ(Recordings().size(), 1u);
    EXPECT_EQ(Lines(PathOf(Recordings()[0])), Expected(kHeader1ms, 0, 6000 + kDataListSize + 10));
}

TEST_F(FlightRecorderTest, EachTickIsHandedOverOnceAndFlushedToTheDisk) {
    std::atomic<int> syncs = 0;
    calls.fdatasync = [&syncs](int fd) {
        ++syncs;
        return ::fdatasync(fd);
    };
    StartRecorder();
    for (int tick = 1; tick <= 3; ++tick) {
        SCOPED_TRACE(tick);
        for (int i = 0; i < 100; ++i)
            test::PushSample(store, 0, static_cast<std::int16_t>(nextRaw++));
        store.ProcessSamples();
        EXPECT_EQ(scope.window.posted.size(), 1u); // one hand-off for the whole tick
        const int syncsBefore = syncs;
        scope.window.RunPosted();
        recorder->writer().WaitUntilWritten();
        EXPECT_GE(syncs, syncsBefore + 1);
        EXPECT_EQ(Lines(PathOf(Recordings()[0])),
                  Expected(kHeader1ms, 0, static_cast<std::size_t>(100 * tick)));
    }
    recorder->Close(); // before `syncs` goes
}

TEST_F(FlightRecorderTest, NewRecordingAndItsRunRecordReachTheDiskBeforeItsLines) {
    // What a power cut would keep: each file and folder as of its last flush.
    std::mutex mutex;
    std::map<int, std::string> opened;
    std::vector<std::string> events;
    calls.open = [&](const char* path, int flags, mode_t mode) {
        const int fd = ::open(path, flags, mode);
        std::lock_guard lock(mutex);
        opened[fd] = fs::path(path).filename().string();
        events.push_back("open " + opened[fd]);
        return fd;
    };
    calls.fdatasync = [&](int fd) {
        std::lock_guard lock(mutex);
        events.push_back("sync " + opened[fd]);
        return ::fdatasync(fd);
    };
    StartRecorder();
    Tick(3);
    recorder->Close();

    // The recording's name is on the disk, then the run record that lists it, then its lines.
    const std::string name = Recordings().at(0);
    const std::vector<std::string> order = {"open " + name, "sync recordings", "open .last-run.ini",
                                            "sync recordings", "sync " + name};
    auto from = events.begin();
    for (const std::string& step : order) {
        from = std::find_if(from, events.end(), [&](const std::string& e) { return e.starts_with(step); });
        ASSERT_NE(from, events.end()) << step << " missing in order:\n" << testing::PrintToString(events);
        ++from;
    }
}

TEST_F(FlightRecorderTest, HeaderChangeStartsANewRecording) {
    StartRecorder();
    Record(3);
    sampleRateIndex = 1; // another averaging time
    Record(2);
    // Another unit, before the previous data sets were handed over.
    for (int i = 0; i < 2; ++i)
        test::PushSample(store, 0, 7);
    store.ProcessSamples();
    deviceParameters.unitText = "kN";
    test::PushSample(store, 0, 8);
    store.ProcessSamples();
    scope.window.RunPosted();
    recorder->Close();

    std::string header2ms = kHeader1ms;
    header2ms.replace(header2ms.find("(1ms)"), 5, "(2ms)");
    std::string headerKN = header2ms;
    for (std::size_t at; (at = headerKN.find("= N")) != std::string::npos;)
        headerKN.replace(at, 3, "= kN");
    const std::vector<std::string> names = Recordings();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(Lines(PathOf(names[0])), Expected(kHeader1ms, 0, 3));
    EXPECT_EQ(Lines(PathOf(names[1])), Expected(header2ms, 3, 7));
    EXPECT_EQ(Lines(PathOf(names[2])), Expected(headerKN, 7, 8));
}

TEST_F(FlightRecorderTest, CloseWritesWhatWasNotYetHandedOver) {
    StartRecorder();
    Record(4);
    for (int i = 0; i < 3; ++i)
        test::PushSample(store, 0, 5);
    store.ProcessSamples(); // the hand-off is still waiting in the event queue
    recorder->Close();
    ASSERT_EQ(Recordings().size(), 1u);
    EXPECT_EQ(Lines(PathOf(Recordings()[0])), Expected(kHeader1ms, 0, 7));
    scope.window.RunPosted(); // the late hand-off finds a closed recorder
}

// Puts RLIMIT_FSIZE in place for the life of the scope; writes beyond it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(FlightRecorderTest, FullDiskOrUnwritableFolderIsReportedOnceAndMeasuringGoesOn) {
    const auto failWith = [](int error) {
        return [error](auto&&...) -> int {
            errno = error;
            return -1;
        };
    };
    const struct Case {
        const char* name;
        std::function<void(FileCalls&, std::string& folder)> breakDisk;
        const char* cause;
    } cases[] = {
        {"disk full", [&](FileCalls& c, std::string&) { c.write = failWith(ENOSPC); },
         "No space left on device"},
        {"disk full after a header",
         [](FileCalls& c, std::string&) {
             c.write = [write = c.write](int fd, const void* data, std::size_t size) -> ssize_t {
                 if (size > 200) {
                     errno = ENOSPC;
                     return -1;
                 }
                 return write(fd, data, size);
             };
         },
         "No space left on device"},
        {"read-only folder", [&](FileCalls& c, std::string&) { c.open = failWith(EROFS); },
         "Read-only file system"},
        {"folder that cannot be created", [&](FileCalls& c, std::string&) { c.mkdir = failWith(EACCES); },
         "Permission denied"},
        {"folder below a file",
         [](FileCalls&, std::string& folder) {
             test::WriteFileBytes(folder + "-file", "x");
             folder += "-file/recordings";
         },
         "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scope.window.statusTexts.clear();
        folder += std::string("-") + c.name;
        RecorderOptions options = Options();
        c.breakDisk(options.calls, options.folder);
        StartRecorder(options);
        EXPECT_TRUE(StatusTexts().empty()) << "said before a data set is lost";
        const int before = store.GetDataListPos();
        for (int tick = 0; tick < 3; ++tick)
            Tick(50);
        recorder->writer().WaitUntilWritten();
        EXPECT_EQ(store.GetDataListPos(), before + 150);

        const std::vector<std::string> texts = StatusTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find(c.cause), std::string::npos) << texts[0];
        EXPECT_NE(texts[0].find("Measuring goes on"), std::string::npos) << texts[0];
        EXPECT_TRUE(Recordings().empty()) << "no recording without data sets is left";
        recorder->Close();
        recorder.reset();
    }
}

TEST_F(FlightRecorderTest, FileSizeLimitLeavesAWholeRecordingAndOneMessage) {
    RecorderOptions options = Options();
    options.retryPause = 1h;
    StartRecorder(options);
    {
        const FileSizeLimit limit(4096);
        for (int tick = 0; tick < 5; ++tick)
            Tick(40);
        recorder->writer().WaitUntilWritten();
    }
    EXPECT_EQ(store.GetDataListPos(), 199);
    const std::vector<std::string> texts = StatusTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("File too large"), std::string::npos) << texts[0];

    // The whole ticks that fitted are there, and nothing torn.
    ASSERT_EQ(Recordings().size(), 1u);
    const std::vector<std::string> lines = Lines(PathOf(Recordings()[0]));
    ASSERT_GE(lines.size(), 41u);
    EXPECT_EQ((lines.size() - 1) % 40, 0u);
    EXPECT_EQ(lines, Expected(kHeader1ms, 0, lines.size() - 1));
}

TEST_F(FlightRecorderTest, RecordingGoesOnInANewFileWhenTheDiskWorksAgain) {
    std::atomic<bool> full = false;
    const auto write = calls.write;
    calls.write = [&full, write](int fd, const void* data, std::size_t size) -> ssize_t {
        if (full) {
            errno = ENOSPC;
            return -1;
        }
        return write(fd, data, size);
    };
    StartRecorder();
    Tick(10);
    recorder->writer().WaitUntilWritten();
    full = true;
    Tick(10);
    recorder->writer().WaitUntilWritten();
    full = false;
    Tick(10);
    recorder->Close();

    const std::vector<std::string> names = Recordings();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(Lines(PathOf(names[0])), Expected(kHeader1ms, 0, 10));
    EXPECT_EQ(Lines(PathOf(names[1])), Expected(kHeader1ms, 20, 30));
    EXPECT_EQ(recorder->writer().DroppedDataSets(), 10);
    EXPECT_EQ(StatusTexts().size(), 1u);
}

TEST_F(FlightRecorderTest, SlowDiskMakesTheRecorderDropRatherThanWait) {
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> armed = false;
    const auto write = calls.write;
    calls.write = [&, write](int fd, const void* data, std::size_t size) -> ssize_t {
        if (armed.exchange(false)) {
            entered.set_value();
            released.wait();
        }
        return write(fd, data, size);
    };
    RecorderOptions options = Options();
    options.maxQueuedBytes = 1000;
    StartRecorder(options);
    armed = true;
    Tick(10); // the worker takes it and hangs in its first write
    entered.get_future().wait();
    Tick(10); // queued
    Tick(10); // beyond the limit: dropped, and the tick goes on
    release.set_value();
    recorder->writer().WaitUntilWritten();
    Tick(10);
    recorder->Close();

    const std::vector<std::string> names = Recordings();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(Lines(PathOf(names[0])), Expected(kHeader1ms, 0, 20));
    EXPECT_EQ(Lines(PathOf(names[1])), Expected(kHeader1ms, 30, 40));
    EXPECT_EQ(recorder->writer().DroppedDataSets(), 10);
    const std::vector<std::string> texts = StatusTexts();
    ASSERT_EQ(texts.size(), 1u) << testing::PrintToString(texts);
    EXPECT_NE(texts[0].find("cannot keep up"), std::string::npos) << texts[0];
}

TEST_F(FlightRecorderTest, NextStartOffersTheDataSetsThatWereNotSaved) {
    const struct Case {
        const char* name;
        const char* run; // S: a tick that stores one data set, V: the operator saves
        int offered;     // data sets named in the box; 0: no box
    } cases[] = {
        {"nothing saved", "SSS", 3}, {"all saved", "SSSV", 0},  {"stored after the save", "SSVSS", 4},
        {"saved twice", "SVSV", 0},  {"nothing stored", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scope.window.messages.clear();
        folder = test::IsolatedEnvironment::Root() + "/offer-" + c.name;
        StartRecorder();
        for (const char* action = c.run; *action; ++action)
            *action == 'S' ? Tick(1) : recorder->DataSetsSaved();
        recorder->Close();

        StartRecorder();
        scope.window.RunPosted();
        if (c.offered == 0) {
            EXPECT_TRUE(scope.window.messages.empty());
        } else {
            ASSERT_EQ(scope.window.messages.size(), 1u);
            EXPECT_EQ(scope.window.messages[0].caption, "INFORMATION");
            EXPECT_EQ(scope.window.messages[0].text,
                      RecoveryMessage({{Recordings().at(0), c.offered}}, folder));
        }
        recorder->Close();
    }
}

TEST_F(FlightRecorderTest, OnlyTheNextStartOffersARecording) {
    StartRecorder();
    Tick(2);
    recorder->Close();
    StartRecorder(); // offers, records nothing
    recorder->Close();
    scope.window.RunPosted();
    scope.window.messages.clear();
    StartRecorder();
    scope.window.RunPosted();
    EXPECT_TRUE(scope.window.messages.empty());
    EXPECT_EQ(Recordings().size(), 1u); // still there for LOAD
}

TEST_F(FlightRecorderTest, RecordingThatAnotherRunningProgramWritesIsNotOffered) {
    StartRecorder();
    Tick(2);
    recorder->writer().WaitUntilWritten();
    FlightRecorder second(Options());
    second.Start();
    second.writer().WaitUntilWritten();
    scope.window.RunPosted();
    EXPECT_TRUE(scope.window.messages.empty());
    EXPECT_EQ(Recordings().size(), 1u);
}

TEST_F(FlightRecorderTest, CrashedRunIsOfferedWithItsCompleteLines) {
    fs::create_directories(folder);
    const std::string name = "recording-2025-12-09_12-00-00-000.txt";
    test::WriteFileBytes(PathOf(name), kHeader1ms + "\r\n1\ta\r\n2\tb\r\n3\t09.12");
    test::WriteFileBytes(PathOf("last-run.ini"), "[LastRun]\nFiles=1\nFile1=" + name + "\n");
    StartRecorder();
    scope.window.RunPosted();
    ASSERT_EQ(scope.window.messages.size(), 1u);
    EXPECT_EQ(scope.window.messages[0].text, RecoveryMessage({{name, 2}}, folder));
}

TEST_F(FlightRecorderTest, LimitsNeverRemoveTheRecordingInUseOrTheOneOffered) {
    fs::create_directories(folder);
    const std::string old = "recording-2020-01-01_00-00-00-000.txt";
    const std::string offered = "recording-2021-01-01_00-00-00-000.txt";
    test::WriteFileBytes(PathOf(old), kHeader1ms + "\r\n1\ta\r\n");
    test::WriteFileBytes(PathOf(offered), kHeader1ms + "\r\n1\ta\r\n");
    test::WriteFileBytes(PathOf("last-run.ini"), "[LastRun]\nFiles=1\nFile1=" + offered + "\n");
    RecorderOptions options = Options();
    options.limits.maxBytes = 1; // everything is too much
    options.trimEveryBytes = 1;
    StartRecorder(options);
    Record(20);
    recorder->writer().WaitUntilWritten();

    const std::vector<std::string> names = Recordings();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], offered);
    EXPECT_EQ(Lines(PathOf(names[1])), Expected(kHeader1ms, 0, 20));
}

TEST_F(FlightRecorderTest, SettingsSwitchTheRecorderAndSetItsFolder) {
    settings.FlightRecorder = false;
    EXPECT_EQ(StartFlightRecorder(), nullptr);

    settings.FlightRecorder = true;
    std::unique_ptr<FlightRecorder> started = StartFlightRecorder();
    ASSERT_NE(started, nullptr);
    ports().dataSets = started.get();
    Tick(3);
    started->Close();
    folder = *RecordingsFolder();
    EXPECT_EQ(folder, test::IsolatedEnvironment::Root() + "/home/.local/share/kantrel731/recordings");
    ASSERT_EQ(Recordings().size(), 1u);
    EXPECT_EQ(Lines(PathOf(Recordings()[0])).size(), 4u);
}

} // namespace
} // namespace kantrel
