#include "device/main_thread_call.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "core/ports.h"

namespace kantrel {

namespace {

// Shared between the waiting worker and the posted closure; the closure may run after
// the worker has given up and gone, so neither side owns it alone.
struct MainThreadRequest {
    std::mutex mutex;
    std::condition_variable_any done;
    bool finished = false;
    bool abandoned = false;

    bool Abandoned() {
        std::lock_guard lock(mutex);
        return abandoned;
    }
};

} // namespace

bool RunOnMainThread(std::vector<std::function<void()>> steps, const std::stop_token& caller) {
    if (!caller.stop_possible()) {
        for (auto& step : steps)
            step();
        return true;
    }

    auto request = std::make_shared<MainThreadRequest>();
    window().PostToMainThread([request, steps = std::move(steps)] {
        for (const auto& step : steps) {
            if (request->Abandoned())
                return;
            step();
        }
        std::lock_guard lock(request->mutex);
        request->finished = true;
        request->done.notify_all();
    });

    std::unique_lock lock(request->mutex);
    request->done.wait(lock, caller, [&] { return request->finished; });
    if (request->finished)
        return true;
    request->abandoned = true;
    return false;
}

void ShowMessageFrom(const std::stop_token& caller, std::string_view text, std::string_view caption) {
    RunOnMainThread(
        {[text = std::string(text), caption = std::string(caption)] { window().ShowMessage(text, caption); }},
        caller);
}

} // namespace kantrel
