// Soak run of the flight recorder (not part of the tests; it takes ten minutes):
//
//   build/bin/recorder_soak [seconds]        default 600
//
// The real program runs on its own X server with the simulated ramp instrument (its
// value is its raw count, one more per millisecond) at an averaging time of 1 ms, and
// records automatically for the given time. Then it is stopped and closed normally, and
// the recording must hold one data set per millisecond with consecutive values: no
// sample dropped, none repeated. The program's memory must stay flat: its resident size
// at the end within 10 % of the size after one minute. Prints, as its last lines:
//   data_sets <N>                    in the recording
//   consecutive <yes|no>
//   rss_after_1min_kb <N>
//   rss_end_kb <N>
//   rss_growth_percent <x>
//   program_cpu_percent <x>          of one core, from the first minute to the end
//   recorder_thread_cpu_percent <x>  the recorder's worker thread alone
//   recording_mb <x>
// and exits with 1 when the recording or the memory fails its check.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "program_under_x.h"
#include "ramp_recording.h"
#include "support/test_environment.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace kantrel::test;

constexpr int kStartAutoX = 375 + 70, kStartAutoY = 222 + 11;
constexpr int kStopAutoX = 375 + 70, kStopAutoY = 250 + 11;

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// utime + stime of a process or thread, in seconds.
double CpuSeconds(const std::string& statPath) {
    std::ifstream in(statPath);
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t afterName = stat.rfind(')');
    if (afterName == std::string::npos)
        return 0.0;
    std::istringstream fields(stat.substr(afterName + 2));
    std::string field;
    double ticks = 0.0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string RecorderThreadStat(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    for (const auto& task : fs::directory_iterator(tasks, ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name == "flightRecorder")
            return (task.path() / "stat").string();
    }
    return {};
}

std::vector<std::string> Recordings(const std::string& folder) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind("recording-", 0) == 0)
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(70, std::atoi(argv[1])) : 600;
    IsolatedEnvironment environment; // HOME, XDG folders and working directory of its own
    const std::string root = IsolatedEnvironment::Root();
    const std::string scenario = root + "/ramp.ini";
    WriteFileBytes(scenario, RampScenario());
    WriteFileBytes(root + "/work/731config.ini", OneMillisecondSettings());
    const std::string recordings = root + "/home/.local/share/kantrel731/recordings";

    OwnXServer server;
    if (server.display().empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 2;
    }
    const pid_t program = Spawn({KANTREL_PROGRAM_PATH, "--simulate=" + scenario},
                                {"DISPLAY=" + server.display(), "QT_QPA_PLATFORM=xcb", "LANG=C", "LC_ALL=C"});
    Display* x = OpenDisplay(server.display(), In(10s));
    std::string title;
    Window main = 0;
    for (Deadline until = In(60s); x && !main && Before(until); std::this_thread::sleep_for(kPollStep))
        main = FindMainWindow(x, title);
    for (Deadline until = In(60s); main && Recordings(recordings).empty() && Before(until);
         std::this_thread::sleep_for(300ms))
        ClickAt(x, main, kStartAutoX, kStartAutoY);
    if (Recordings(recordings).empty()) {
        std::fprintf(stderr, "the recording did not begin\n");
        kill(program, SIGKILL);
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    std::printf("recording for %d s\n", seconds);
    std::fflush(stdout);

    std::this_thread::sleep_until(started + 60s);
    const long rssMinute = ResidentKb(program);
    const std::string processStat = "/proc/" + std::to_string(program) + "/stat";
    const std::string recorderStat = RecorderThreadStat(program);
    const double cpuMinute = CpuSeconds(processStat);
    const double recorderMinute = CpuSeconds(recorderStat);
    const auto minute = std::chrono::steady_clock::now();

    std::this_thread::sleep_until(started + std::chrono::seconds(seconds));
    const long rssEnd = ResidentKb(program);
    const double cpuEnd = CpuSeconds(processStat);
    const double recorderEnd = CpuSeconds(recorderStat);
    const double measured = std::chrono::duration<double>(std::chrono::steady_clock::now() - minute).count();

    ClickAt(x, main, kStopAutoX, kStopAutoY);
    std::this_thread::sleep_for(5s); // the list is rebuilt
    RequestClose(x, main);
    const std::optional<int> code = WaitExit(program, In(60s));
    if (!code)
        kill(program, SIGKILL);
    XCloseDisplay(x);

    const std::vector<std::string> files = Recordings(recordings);
    RampCheck check;
    double megabytes = 0.0;
    for (const std::string& file : files) {
        const std::string bytes = ReadFileBytes(file);
        megabytes += static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
        const RampCheck part = CheckRampRecording(bytes);
        check.dataSets += part.dataSets;
        if (check.problem.empty() && !part.problem.empty())
            check.problem = file + ": " + part.problem;
        check.tornLastLine = check.tornLastLine || part.tornLastLine;
    }
    const bool consecutive = files.size() == 1 && check.problem.empty() && !check.tornLastLine;
    const double growth = rssMinute > 0 ? 100.0 * static_cast<double>(rssEnd - rssMinute) / rssMinute : 0.0;
    const bool enough = check.dataSets >= static_cast<std::int64_t>(seconds) * 1000 * 99 / 100;

    if (!code || *code != 0)
        std::printf("the program did not end normally\n");
    if (files.size() != 1)
        std::printf("%zu recordings instead of one\n", files.size());
    if (!check.problem.empty())
        std::printf("%s\n", check.problem.c_str());
    std::printf("data_sets %lld\n", static_cast<long long>(check.dataSets));
    std::printf("consecutive %s\n", consecutive ? "yes" : "no");
    std::printf("rss_after_1min_kb %ld\n", rssMinute);
    std::printf("rss_end_kb %ld\n", rssEnd);
    std::printf("rss_growth_percent %.1f\n", growth);
    std::printf("program_cpu_percent %.1f\n", 100.0 * (cpuEnd - cpuMinute) / measured);
    std::printf("recorder_thread_cpu_percent %.2f\n", 100.0 * (recorderEnd - recorderMinute) / measured);
    std::printf("recording_mb %.1f\n", megabytes);
    return consecutive && enough && growth <= 10.0 && code && *code == 0 ? 0 : 1;
}
