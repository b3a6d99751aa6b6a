// Loading large data files: time and peak memory. Writes files of valid rows of 25, 50
// and 100 MB and a 100 MB file that is not a data file, loads each in a child process
// (so that every load starts from the same idle memory) in chart mode "time" with all
// five series drawn, and puts the rows into a store. Prints, as its last lines:
//   load_<N>MB_ms <ms>               time of the load of N MB of valid rows
//   load_<N>MB_cpu_ms <ms>           processor time of that load (less disturbed than the
//                                    time by other work on the machine)
//   load_<N>MB_peak_above_idle_MB    the peak resident memory of that load minus the
//                                    memory before it
//   garbage_100MB_ms, garbage_100MB_peak_above_idle_MB   the same for the other file
//   ms_per_MB_25 / ms_per_MB_100     processor time per MB of the smallest and largest file

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/data_file_reader.h"
#include "measure/meas_data.h"
#include "platform/posix_regional_settings.h"

namespace {

using namespace kantrel;
constexpr double kMB = 1024.0 * 1024.0;

void WriteValidRows(const std::string& path, double megabytes) {
    std::ofstream out(path, std::ios::binary);
    out << "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = N\t"
           "[MaxFilt] = N\t(100ms)\r\n";
    std::string line;
    for (long long n = 1; out.tellp() < static_cast<std::streamoff>(megabytes * kMB); ++n) {
        line = fmt::format("{}\t09.12.2025\t12:{:02}:{:02}\t{:03}\t {},5\t {},0\t {},0\t {},2\t {},8\r\n", n,
                           n / 60 % 60, n % 60, n % 1000, n % 900, n % 900, n % 900 + 1, n % 900, n % 900);
        out << line;
    }
}

void WriteGarbage(const std::string& path, double megabytes) {
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 16, 'x');
    for (std::size_t i = 0; i < block.size(); i += 61)
        block[i] = ' ';
    for (double written = 0; written < megabytes * kMB; written += static_cast<double>(block.size()))
        out << block;
}

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Figures {
    double ms = 0;
    double cpuMs = 0;
    double peakAboveIdleMB = 0;
    long long storedRows = 0;
};

// Loads the file in a child process and returns what it measured.
Figures LoadInChild(const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        PosixRegionalSettings regional("de_DE.UTF-8");
        ports().regional = &regional;
        DataFileReadOptions options;
        options.graficMode = 1;
        options.regional = &regional;
        const long idle = StatusKilobytes("VmRSS");
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuMs();
        Figures f;
        {
            const DataFileContent content = LoadDataFile(path, options);
            TMeasData store(100);
            ApplyToStore(content, store);
            f.storedRows = content.storedRows;
            f.ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            f.cpuMs = CpuMs() - cpuStart;
        }
        f.peakAboveIdleMB = static_cast<double>(StatusKilobytes("VmHWM") - idle) / 1024.0;
        if (write(fds[1], &f, sizeof f) != static_cast<ssize_t>(sizeof f))
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Figures f;
    const bool got = read(fds[0], &f, sizeof f) == static_cast<ssize_t>(sizeof f);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "data_file_load_bench: the load of %s failed\n", path.c_str());
        std::exit(1);
    }
    return f;
}

} // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "kantrel_load_bench_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    const double sizes[] = {25, 50, 100};
    std::string lines;
    double msPerMB[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::string path = fmt::format("{}/rows_{}.txt", folder, sizes[i]);
        WriteValidRows(path, sizes[i]);
        const Figures f = LoadInChild(path);
        std::filesystem::remove(path);
        if (f.storedRows != kDataListSize) {
            std::fprintf(stderr, "data_file_load_bench: %lld rows stored\n", f.storedRows);
            return 1;
        }
        msPerMB[i] = f.cpuMs / sizes[i];
        lines +=
            fmt::format("load_{}MB_ms {:.0f}\nload_{}MB_cpu_ms {:.0f}\nload_{}MB_peak_above_idle_MB {:.1f}\n",
                        sizes[i], f.ms, sizes[i], f.cpuMs, sizes[i], f.peakAboveIdleMB);
    }
    const std::string garbage = folder + "/garbage.txt";
    WriteGarbage(garbage, 100);
    const Figures g = LoadInChild(garbage);
    std::filesystem::remove_all(folder);
    lines += fmt::format("garbage_100MB_ms {:.0f}\ngarbage_100MB_peak_above_idle_MB {:.1f}\n", g.ms,
                         g.peakAboveIdleMB);
    lines += fmt::format("ms_per_MB_25 {:.2f}\nms_per_MB_100 {:.2f}\n", msPerMB[0], msPerMB[2]);
    std::fputs(lines.c_str(), stdout);
    return 0;
}
