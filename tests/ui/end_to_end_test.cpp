// The real program on its own X server: started with --simulate, it shows a live value
// and carries the versioned caption; closed through the window manager protocol, it ends
// with exit code 0.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>

#include "program_under_x.h"
#include "support/test_environment.h"

namespace kantrel::test {
namespace {

using namespace std::chrono_literals;

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

    Display* x = OpenDisplay(server.display(), In(10s));
    ASSERT_NE(x, nullptr);

    Window main = 0;
    std::string title;
    int inked = 0;
    for (Deadline until = In(30s); Before(until); std::this_thread::sleep_for(kPollStep)) {
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

    RequestClose(x, main); // as a window manager closes it
    const std::optional<int> code = WaitExit(program, In(15s));
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
