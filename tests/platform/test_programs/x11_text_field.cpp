// A one-line text field on the X display of $DISPLAY: it takes the input focus, prints
// "ready" once it has it, then collects the characters of the keys pressed and prints
// them as one line when Return arrives, and ends. It gives up after 30 seconds.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cstdio>
#include <string>
#include <unistd.h>

int main() {
    alarm(30);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return 2;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 10, 10, 200, 30, 1,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask | FocusChangeMask);
    XMapWindow(display, window);

    std::string text;
    bool ready = false;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) {
            // There is no window manager: the window takes the focus itself.
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
        } else if (event.type == FocusIn && !ready) {
            ready = true;
            std::puts("ready");
            std::fflush(stdout);
        } else if (event.type == KeyPress) {
            char buffer[16];
            KeySym keysym = 0;
            const int length = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
            if (keysym == XK_Return)
                break;
            text.append(buffer, static_cast<std::size_t>(length));
        }
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    XCloseDisplay(display);
    return 0;
}
