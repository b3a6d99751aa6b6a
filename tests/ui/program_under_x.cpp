#include "program_under_x.h"

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kantrel::test {

Deadline In(std::chrono::milliseconds wait) {
    return std::chrono::steady_clock::now() + wait;
}
bool Before(Deadline d) {
    return std::chrono::steady_clock::now() < d;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            posix_spawn_file_actions_t* actions) {
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

OwnXServer::OwnXServer() {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_ = Spawn(
        {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {},
        &actions);
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

OwnXServer::~OwnXServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (!WaitExit(pid_, In(std::chrono::seconds(5))))
            kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    }
}

Display* OpenDisplay(const std::string& display, Deadline until) {
    Display* x = nullptr;
    for (; !x && Before(until); std::this_thread::sleep_for(kPollStep))
        x = XOpenDisplay(display.c_str());
    return x;
}

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

Window FindWindowTitled(Display* x, std::string_view prefix, std::string* title) {
    Window root = DefaultRootWindow(x), parent = 0, *children = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (!XQueryTree(x, root, &root, &parent, &children, &n))
        return 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        const std::string t = WindowTitle(x, children[i]);
        XWindowAttributes a{};
        if (t.starts_with(prefix) && XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable) {
            found = children[i];
            if (title)
                *title = t;
        }
    }
    if (children)
        XFree(children);
    return found;
}

Window FindMainWindow(Display* x, std::string& title) {
    return FindWindowTitled(x, "KANTREL 731 USB", &title);
}

void ClickAt(Display* x, Window w, int left, int top) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(x, w, DefaultRootWindow(x), left, top, &rootX, &rootY, &child);
    XTestFakeMotionEvent(x, -1, rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(x, 1, True, CurrentTime);
    XTestFakeButtonEvent(x, 1, False, CurrentTime);
    XFlush(x);
}

void RequestClose(Display* x, Window w) {
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = w;
    close.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, w, False, NoEventMask, &close);
    XFlush(x);
}

} // namespace kantrel::test
