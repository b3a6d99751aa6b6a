#pragma once

// Work that a worker thread of the device link needs done on the main thread: message
// boxes and the save after a data error. The worker hands the steps over and waits for
// them, but gives up waiting as soon as its own stop is requested, so that a disconnect
// that joins the worker from the main thread can never deadlock with it.

#include <functional>
#include <stop_token>
#include <string_view>
#include <vector>

namespace kantrel {

// Runs the steps in order on the main thread. caller is the stop token of the calling
// worker; a token without a stop source (a default-constructed one) means the caller is
// the main thread itself, and the steps run at once.
// Returns true when every step has run; false when the caller stopped waiting. Steps
// that have not started when the caller stops waiting are skipped.
bool RunOnMainThread(std::vector<std::function<void()>> steps, const std::stop_token& caller);

// A message box shown on the main thread; see RunOnMainThread for caller.
void ShowMessageFrom(const std::stop_token& caller, std::string_view text, std::string_view caption);

} // namespace kantrel
