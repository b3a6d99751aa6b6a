#include "measure/keyboard_output.h"

#include <algorithm>

#include "core/ports.h"
#include "core/text_encoding.h"
#include "settings/settings.h"

namespace kantrel {

void TypeIntoKeyBuffer(std::string& text) {
    ToSettingSeparator(text);
    KeyInjector& k = keys();
    if (!k.Available()) {
        // Without an X11 display nothing can be typed; say so once and go on measuring.
        static bool told = false;
        if (!told) {
            told = true;
            window().SetStatusText("Typing into other programs is not available (no X11 display)");
        }
        return;
    }
    const std::u32string typed = Utf8ToCodePoints(text);
    const int pause = std::max(0, settings.KeyBufDelayTimeMs);
    for (char32_t ch : typed) {
        k.SendKeyStroke(ch);
        k.Pause(pause);
    }
    k.SendEnter();
}

}  // namespace kantrel
