// The real program on its own X server: started with --simulate, it shows a live value
// and carries the versioned caption; closed through the window manager protocol, it ends
// with exit code 0.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_environment.h"

extern char** environ;

namespace kantrel::test {
namespace {

using Deadline = std::chrono::steady_clock::time_point;
constexpr auto kPollStep = std::chrono::milliseconds(50);

Deadline In(std::chrono::seconds s) {
    return std::chrono::steady_clock::now() + s;
}
bool Before(Deadline d) {
    return std::chrono::steady_clock::now() < d;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    const auto overridden = [&](const char* entry) {
        for (const auto& e : extraEnv) {
            const auto key = e.substr(0, e.find('=') + 1);
            if (std::strncmp(entry, key.c_str(), key.size()) == 0)
                return true;
        }
        return false;
    };
    for (char** e = environ; *e; ++e)
        if (!overridden(*e))
            envStrings.emplace_back(*e);
    for (const auto& e : extraEnv)
        envStrings.push_back(e);
    std::vector<char*> env;
    for (auto& e : envStrings)
        env.push_back(e.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), env.data()) != 0)
        return -1;
    return pid;
}

std::optional<int> WaitExit(pid_t pid, Deadline until) {
    while (Before(until)) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(kPollStep);
    }
    return std::nullopt;
}

// An X server of the test's own; -displayfd tells which display it took.
class OwnXServer {
public:
    OwnXServer() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        pid_ = Spawn(
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            {}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 10000) > 0) {
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    ~OwnXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (!WaitExit(pid_, In(std::chrono::seconds(5))))
                kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

std::string WindowTitle(Display* x, Window w) {
    Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
    Atom netName = XInternAtom(x, "_NET_WM_NAME", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(x, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

Window FindMainWindow(Display* x, std::string& title) {
    Window root = DefaultRootWindow(x), parent = 0, *children = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (!XQueryTree(x, root, &root, &parent, &children, &n))
        return 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        const std::string t = WindowTitle(x, children[i]);
        XWindowAttributes a{};
        if (t.rfind("KANTREL 731 USB", 0) == 0 && XGetWindowAttributes(x, children[i], &a) &&
            a.map_state == IsViewable) {
            found = children[i];
            title = t;
        }
    }
    if (children)
        XFree(children);
    return found;
}

// Columns of the live value's place that hold dark text pixels on the painted (light)
// background: a dash is narrow, a value with its unit is wide. A window not yet painted
// counts as nothing.
int InkedColumns(Display* x, Window w) {
    XImage* image = XGetImage(x, w, 8, 414, 290, 44, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    int inked = 0;
    long light = 0;
    for (int col = 0; col < image->width; ++col) {
        bool ink = false;
        for (int row = 0; row < image->height; ++row) {
            const unsigned long p = XGetPixel(image, col, row);
            const int sum = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF));
            if (sum < 200)
                ink = true;
            if (sum > 500)
                ++light;
        }
        if (ink)
            ++inked;
    }
    const long pixels = static_cast<long>(image->width) * image->height;
    XDestroyImage(image);
    return light * 2 > pixels ? inked : 0;
}

TEST(EndToEndTest, SimulatedRunShowsTheLiveValueUnderTheVersionedCaption) {
    OwnXServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    const std::string root = IsolatedEnvironment::Root();
    const pid_t program = Spawn({KANTREL_PROGRAM_PATH, "--simulate"},
                                {"DISPLAY=" + server.display(), "QT_QPA_PLATFORM=xcb",
                                 "HOME=" + root + "/home", "XDG_CONFIG_HOME=" + root + "/home/.config"});
    ASSERT_GT(program, 0);

    Display* x = nullptr;
    for (Deadline until = In(std::chrono::seconds(10)); !x && Before(until);
         std::this_thread::sleep_for(kPollStep))
        x = XOpenDisplay(server.display().c_str());
    ASSERT_NE(x, nullptr);

    Window main = 0;
    std::string title;
    int inked = 0;
    for (Deadline until = In(std::chrono::seconds(30)); Before(until);
         std::this_thread::sleep_for(kPollStep)) {
        if (!main)
            main = FindMainWindow(x, title);
        if (main) {
            title = WindowTitle(x, main);
            inked = InkedColumns(x, main);
            if (title.find("(Version:") != std::string::npos && inked > 100)
                break;
        }
    }
    ASSERT_NE(main, 0u) << "no main window appeared";
    EXPECT_EQ(title, "KANTREL 731 USB (Version: " KANTREL_VERSION ")");
    EXPECT_GT(inked, 100) << "no live value appeared";

    // Closed as a window manager closes it.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = main;
    close.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, main, False, NoEventMask, &close);
    XFlush(x);
    const std::optional<int> code = WaitExit(program, In(std::chrono::seconds(15)));
    if (!code) {
        kill(program, SIGKILL);
        waitpid(program, nullptr, 0);
    }
    XCloseDisplay(x);
    ASSERT_TRUE(code.has_value()) << "the program did not end after its window was closed";
    EXPECT_EQ(*code, 0);
}

} // namespace
} // namespace kantrel::test
