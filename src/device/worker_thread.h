#pragma once

// Starting the named worker threads of the device link.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace kantrel {

using WorkerBody = std::function<void(std::stop_token)>;

// Starts body on a new std::jthread that carries the given name (shown by debuggers;
// at most 15 characters). Throws std::system_error when the thread cannot be created.
std::jthread StartWorkerThread(const char* name, WorkerBody body);

// The default way: a std::jthread named from inside the new thread.
std::jthread CreateNamedThread(const char* name, WorkerBody body);

// Replaces how threads are created, so that a failing creation can be exercised. An
// empty function restores the default.
using ThreadCreator = std::function<std::jthread(const char* name, WorkerBody body)>;
void SetThreadCreator(ThreadCreator creator);

// A worker of the device link: runs its body once on a named thread. Destroying it
// requests the stop and waits for the body to end.
class WorkerThread {
public:
    // Starts at once; throws std::system_error when the thread cannot be created.
    WorkerThread(const char* name, WorkerBody body);
    ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Terminate() { thread_.request_stop(); }
    bool Finished() const;
    // Waits for the body to end, at most limit; true when it has ended.
    bool WaitUntilFinished(std::chrono::milliseconds limit) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable finishedChanged_;
    bool finished_ = false;
    std::jthread thread_; // last: started when the rest exists, joined before it goes
};

} // namespace kantrel
