#pragma once

// The real program on an X server of the test's own: starting processes, finding
// windows by their title and clicking into them as a person would (XTest). Used by the
// end-to-end tests and the soak run.

#include <X11/Xlib.h>
#include <chrono>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kantrel::test {

using Deadline = std::chrono::steady_clock::time_point;
inline constexpr auto kPollStep = std::chrono::milliseconds(50);

Deadline In(std::chrono::milliseconds wait);
bool Before(Deadline d);

// Starts a program with the environment of this process plus (or replacing) extraEnv;
// -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            posix_spawn_file_actions_t* actions = nullptr);
// The exit code once the process has ended (-1 when a signal ended it); nullopt when it
// still runs at the deadline.
std::optional<int> WaitExit(pid_t pid, Deadline until);

// An X server of the test's own; -displayfd tells which display it took.
class OwnXServer {
public:
    OwnXServer();
    ~OwnXServer();
    OwnXServer(const OwnXServer&) = delete;
    OwnXServer& operator=(const OwnXServer&) = delete;
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Connects to the display, trying until the deadline; null when it never answers.
Display* OpenDisplay(const std::string& display, Deadline until);

std::string WindowTitle(Display* x, Window w);
// A mapped top-level window whose title begins with `prefix`; 0 when there is none.
Window FindWindowTitled(Display* x, std::string_view prefix, std::string* title = nullptr);
// The main window of the program.
Window FindMainWindow(Display* x, std::string& title);
// Presses and releases the left button at a point of the window.
void ClickAt(Display* x, Window w, int left, int top);
// Asks the window to close, as a window manager does.
void RequestClose(Display* x, Window w);

} // namespace kantrel::test
