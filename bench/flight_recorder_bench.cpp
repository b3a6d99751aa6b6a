// Cost of the flight recorder at 1 kHz automatic recording (averaging 1 ms), in real
// time: every 100 ms a tick processes 100 samples, each storing a data set, then runs
// the hand-off that the window's event loop runs after the tick. The recording goes to a
// temporary folder on the disk that holds $TMPDIR (else /tmp).
//
//   build/bin/flight_recorder_bench [seconds]     default 30
//
// Prints, as its last lines:
//   recorder_cpu_percent <x>          main-thread share plus worker thread, of one core
//   recorder_worker_cpu_percent <x>   the worker thread alone
//   recorder_main_us_per_tick <x>     average time the recorder adds to a tick
//   recorder_main_max_us <x>          the longest time the recorder held one tick
//   recorder_main_max_cpu_us <x>      the same in CPU time of the main thread: on a busy
//                                     machine the wall time above includes preemption
//   tick_max_ms <x>                   the longest tick, processing included
//   data_sets <N>                     in the recording (= stored)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

#include "files/flight_recorder.h"
#include "files/recording_state.h"
#include "measure/meas_data.h"
#include "support/measurement_fixture.h"

namespace {

using namespace kantrel;
using Steady = std::chrono::steady_clock;

// The window's event loop: posted work runs after the tick.
class QueuedWindow : public WindowPort {
public:
    void PostToMainThread(std::function<void()> fn) override { posted.push_back(std::move(fn)); }
    void RunPosted() {
        std::vector<std::function<void()>> work;
        work.swap(posted);
        for (auto& fn : work)
            fn();
    }
    std::vector<std::function<void()>> posted;
};

std::chrono::nanoseconds ThreadCpuTime() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// Times the recorder's work on the main thread, in wall time and in CPU time.
class TimedSink : public DataSetSink {
public:
    explicit TimedSink(FlightRecorder& recorder) : recorder_(recorder) {}
    void DataSetStored(const TMeasData& store, int row) override {
        const auto start = Steady::now();
        const auto cpuStart = ThreadCpuTime();
        recorder_.DataSetStored(store, row);
        cpu += ThreadCpuTime() - cpuStart;
        spent += Steady::now() - start;
    }
    FlightRecorder& recorder_;
    Steady::duration spent{};
    std::chrono::nanoseconds cpu{};
};

// Nanoseconds the thread of that name has run, from the scheduler's statistics.
double ThreadCpuSeconds(const std::string& name) {
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string taskName;
        std::getline(comm, taskName);
        if (taskName != name)
            continue;
        std::ifstream schedstat(task.path() / "schedstat");
        double ns = 0.0;
        schedstat >> ns;
        return ns / 1e9;
    }
    return 0.0;
}

double Microseconds(Steady::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/flight-recorder-bench-XXXXXX";
    if (!mkdtemp(folder.data()))
        return 2;

    QueuedWindow window;
    ports().window = &window;
    test::UseIdentityParameters();
    RecorderOptions options;
    options.folder = folder + "/recordings";
    FlightRecorder recorder(std::move(options));
    TimedSink sink(recorder);
    ports().dataSets = &sink;
    recorder.Start();
    recorder.writer().WaitUntilWritten();

    TMeasData store(1);
    store.SetAutoRecording(true);
    const int ticks = seconds * 10;
    Steady::duration recorderTotal{}, recorderMax{}, tickMax{};
    std::chrono::nanoseconds recorderMaxCpu{};
    const double workerBefore = ThreadCpuSeconds("flightRecorder");
    const auto begin = Steady::now();
    for (int tick = 0; tick < ticks; ++tick) {
        std::this_thread::sleep_until(begin + std::chrono::milliseconds(100 * tick));
        for (int i = 0; i < 100; ++i)
            test::PushSample(store, 0, static_cast<std::int16_t>((tick * 100 + i) % 20000));
        sink.spent = {};
        sink.cpu = {};
        const auto start = Steady::now();
        store.ProcessSamples();
        const auto handOff = Steady::now();
        const auto handOffCpu = ThreadCpuTime();
        window.RunPosted();
        const auto end = Steady::now();
        recorderMaxCpu = std::max(recorderMaxCpu, sink.cpu + (ThreadCpuTime() - handOffCpu));
        const Steady::duration recorderPart = sink.spent + (end - handOff);
        recorderTotal += recorderPart;
        recorderMax = std::max(recorderMax, recorderPart);
        tickMax = std::max(tickMax, end - start);
    }
    recorder.writer().WaitUntilWritten();
    const double wall = std::chrono::duration<double>(Steady::now() - begin).count();
    const double worker = ThreadCpuSeconds("flightRecorder") - workerBefore;
    const std::string recording = folder + "/recordings/" + recorder.writer().CurrentFile();
    recorder.Close();
    const std::int64_t dataSets = CountRecordedDataSets(recording).value_or(-1);
    std::filesystem::remove_all(folder);

    const double mainSeconds = std::chrono::duration<double>(recorderTotal).count();
    std::printf("recorder_cpu_percent %.3f\n", 100.0 * (mainSeconds + worker) / wall);
    std::printf("recorder_worker_cpu_percent %.3f\n", 100.0 * worker / wall);
    std::printf("recorder_main_us_per_tick %.1f\n", Microseconds(recorderTotal) / ticks);
    std::printf("recorder_main_max_us %.1f\n", Microseconds(recorderMax));
    std::printf("recorder_main_max_cpu_us %.1f\n", Microseconds(recorderMaxCpu));
    std::printf("tick_max_ms %.3f\n", Microseconds(tickMax) / 1000.0);
    std::printf("data_sets %lld\n", static_cast<long long>(dataSets));
    return dataSets == static_cast<std::int64_t>(ticks) * 100 ? 0 : 1;
}
