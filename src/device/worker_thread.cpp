#include "device/worker_thread.h"

#include <pthread.h>

namespace kantrel {

namespace {

ThreadCreator& creator() {
    static ThreadCreator current;
    return current;
}

} // namespace

std::jthread CreateNamedThread(const char* name, WorkerBody body) {
    return std::jthread([name, body = std::move(body)](std::stop_token stop) {
        pthread_setname_np(pthread_self(), name);
        body(std::move(stop));
    });
}

std::jthread StartWorkerThread(const char* name, WorkerBody body) {
    if (creator())
        return creator()(name, std::move(body));
    return CreateNamedThread(name, std::move(body));
}

WorkerThread::WorkerThread(const char* name, WorkerBody body)
    : thread_(StartWorkerThread(name, [this, body = std::move(body)](std::stop_token stop) {
          body(std::move(stop));
          std::lock_guard lock(mutex_);
          finished_ = true;
          finishedChanged_.notify_all();
      })) {}

bool WorkerThread::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool WorkerThread::WaitUntilFinished(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return finishedChanged_.wait_for(lock, limit, [this] { return finished_; });
}

void SetThreadCreator(ThreadCreator replacement) {
    creator() = std::move(replacement);
}

} // namespace kantrel
