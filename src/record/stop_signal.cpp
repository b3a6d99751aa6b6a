#include "record/stop_signal.h"

#include <atomic>
#include <csignal>

namespace kantrel::record {

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void OnStopSignal(int signal) {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
}

} // namespace

void InstallStopSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the next signal of the kind takes its default course.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignalReceived() {
    return stopSignal.load();
}

} // namespace kantrel::record
