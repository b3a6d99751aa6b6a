#include "platform/xtest_key_injector.h"

#include <chrono>
#include <thread>

#ifdef KANTREL_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

namespace kantrel {

unsigned long KeysymForCharacter(char32_t ch) {
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || ch > 0x10FFFF)
        return 0;
    if (ch < 0x100)
        return ch;
    return 0x01000000UL | ch;
}

#ifdef KANTREL_HAVE_XTEST

XTestKeyInjector::XTestKeyInjector(const char* displayName) : display_(XOpenDisplay(displayName)) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (display_ != nullptr && !XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
}

XTestKeyInjector::~XTestKeyInjector() {
    if (display_ != nullptr)
        XCloseDisplay(display_);
}

bool XTestKeyInjector::Available() {
    return display_ != nullptr;
}

void XTestKeyInjector::PressAndRelease(unsigned long keysym) {
    if (display_ == nullptr || keysym == 0)
        return;
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0)
        return; // not on this keyboard
    // Flushed after each event: a press that stays queued behind a pause would repeat.
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XFlush(display_);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XFlush(display_);
}

void XTestKeyInjector::SendKeyStroke(char32_t ch) {
    PressAndRelease(KeysymForCharacter(ch));
}

void XTestKeyInjector::SendEnter() {
    PressAndRelease(XK_Return);
    if (display_ != nullptr)
        XSync(display_, False);
}

#else // built without XTest: nothing can be typed

XTestKeyInjector::XTestKeyInjector(const char*) {}
XTestKeyInjector::~XTestKeyInjector() = default;
bool XTestKeyInjector::Available() {
    return false;
}
void XTestKeyInjector::PressAndRelease(unsigned long) {}
void XTestKeyInjector::SendKeyStroke(char32_t) {}
void XTestKeyInjector::SendEnter() {}

#endif

void XTestKeyInjector::Pause(int milliseconds) {
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace kantrel
