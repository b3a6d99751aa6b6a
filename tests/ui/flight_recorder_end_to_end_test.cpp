// The real program records automatically on the simulated instrument and is killed with
// SIGKILL at a random moment: its recording still holds every data set it had written,
// whole and in order, loads through the data-file reader, and the next start offers it.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <random>
#include <sys/wait.h>
#include <thread>

#include "files/data_file_reader.h"
#include "program_under_x.h"
#include "ramp_recording.h"
#include "support/test_environment.h"

namespace kantrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// START AUTO, in the window's coordinates.
constexpr int kStartAutoX = 375 + 70, kStartAutoY = 222 + 11;

class RealProgram {
public:
    RealProgram(const OwnXServer& server, const std::string& scenario) {
        const std::string root = IsolatedEnvironment::Root();
        pid_ = Spawn({KANTREL_PROGRAM_PATH, "--simulate=" + scenario},
                     {"DISPLAY=" + server.display(), "QT_QPA_PLATFORM=xcb", "HOME=" + root + "/home",
                      "XDG_CONFIG_HOME=" + root + "/home/.config",
                      "XDG_DATA_HOME=" + root + "/home/.local/share"});
    }
    ~RealProgram() { Kill(); }
    pid_t pid() const { return pid_; }
    // SIGKILL; true when that is what ended the program.
    bool Kill() {
        if (pid_ <= 0)
            return false;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t pid_ = -1;
};

std::string RecordingsFolder() {
    return IsolatedEnvironment::Root() + "/home/.local/share/kantrel731/recordings";
}

std::vector<std::string> Recordings() {
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(RecordingsFolder(), ec))
        if (entry.path().filename().string().starts_with("recording-"))
            paths.push_back(entry.path().string());
    return paths;
}

TEST(FlightRecorderEndToEndTest, RecordingSurvivesAKillAndIsOfferedAtTheNextStart) {
    OwnXServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    const std::string scenario = IsolatedEnvironment::Root() + "/ramp.ini";
    WriteFileBytes(scenario, RampScenario());
    // Started in the test's working directory, the program reads its settings there.
    WriteFileBytes(IsolatedEnvironment::Root() + "/work/731config.ini", OneMillisecondSettings());

    std::string recording;
    std::string beforeKill;
    {
        RealProgram program(server, scenario);
        ASSERT_GT(program.pid(), 0);
        Display* x = OpenDisplay(server.display(), In(10s));
        ASSERT_NE(x, nullptr);
        std::string title;
        Window main = 0;
        for (Deadline until = In(30s); !main && Before(until); std::this_thread::sleep_for(kPollStep))
            main = FindMainWindow(x, title);
        ASSERT_NE(main, 0u) << "no main window appeared";

        // START AUTO is enabled once the instrument's readout is done.
        for (Deadline until = In(30s); Recordings().empty() && Before(until);
             std::this_thread::sleep_for(300ms))
            ClickAt(x, main, kStartAutoX, kStartAutoY);
        ASSERT_EQ(Recordings().size(), 1u) << "no recording began";
        recording = Recordings()[0];

        // The recording grows tick by tick, not only at the end.
        const std::size_t early = ReadFileBytes(recording).size();
        std::this_thread::sleep_for(500ms);
        EXPECT_GT(ReadFileBytes(recording).size(), early);

        std::random_device seed;
        const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 2500)(seed));
        std::cout << "killed after " << delay.count() << " ms more\n";
        std::this_thread::sleep_for(delay);
        beforeKill = ReadFileBytes(recording); // everything written so far
        EXPECT_TRUE(program.Kill());
        XCloseDisplay(x);
    }

    // Nothing written before the kill is lost, and what is there is whole and in order.
    const std::string afterKill = ReadFileBytes(recording);
    EXPECT_EQ(afterKill.substr(0, beforeKill.size()), beforeKill);
    const RampCheck check = CheckRampRecording(afterKill);
    EXPECT_EQ(check.problem, "");
    EXPECT_GT(check.dataSets, 0);
    std::cout << check.dataSets << " data sets recorded, torn last line: " << check.tornLastLine << "\n";
    EXPECT_GE(check.dataSets, CheckRampRecording(beforeKill).dataSets);

    const DataFileContent loaded = LoadDataFile(recording, DataFileReadOptions{});
    EXPECT_EQ(loaded.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(loaded.storedRows, check.dataSets);
    EXPECT_TRUE(LoadMessages(loaded).empty());

    // The next start offers the recording.
    RealProgram next(server, scenario);
    Display* x = OpenDisplay(server.display(), In(10s));
    ASSERT_NE(x, nullptr);
    Window offer = 0;
    for (Deadline until = In(30s); !offer && Before(until); std::this_thread::sleep_for(kPollStep))
        offer = FindWindowTitled(x, "INFORMATION");
    EXPECT_NE(offer, 0u) << "the next start offered nothing";
    XCloseDisplay(x);
}

} // namespace
} // namespace kantrel::test
