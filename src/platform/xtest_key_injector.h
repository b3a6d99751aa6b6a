#pragma once

// Keystrokes into the focused window through the X server's XTest extension. Each
// character becomes the key that carries its keysym, pressed and released without any
// modifier: a character on the shifted level arrives as its bare key (':' as ';').

#include "core/ports.h"

struct _XDisplay;

namespace kantrel {

class XTestKeyInjector : public KeyInjector {
public:
    // null: the display of $DISPLAY.
    explicit XTestKeyInjector(const char* displayName = nullptr);
    ~XTestKeyInjector() override;
    XTestKeyInjector(const XTestKeyInjector&) = delete;
    XTestKeyInjector& operator=(const XTestKeyInjector&) = delete;

    // False without an X11 display that offers XTest (a pure Wayland session).
    bool Available() override;
    // A character without a key on the current keyboard is skipped.
    void SendKeyStroke(char32_t ch) override;
    // Return, then waits until the server has handled every event sent.
    void SendEnter() override;
    void Pause(int milliseconds) override;

private:
    void PressAndRelease(unsigned long keysym);

    _XDisplay* display_ = nullptr;
};

// The keysym of a character: Latin-1 characters are their own code, others the Unicode
// keysym range; 0 for control characters.
unsigned long KeysymForCharacter(char32_t ch);

} // namespace kantrel
