#include "measure/keyboard_output.h"

#include <algorithm>

#include "measure/ports.h"
#include "settings/settings.h"

namespace kantrel {
namespace {

// UTF-8 into code points; a byte that starts no valid sequence stands for itself.
std::u32string CodePoints(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0 && i + static_cast<std::size_t>(extra) >= text.size()) extra = 0;
        char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

}  // namespace

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
    const std::u32string typed = CodePoints(text);
    const int pause = std::max(0, settings.KeyBufDelayTimeMs);
    for (char32_t ch : typed) {
        k.SendKeyStroke(ch);
        k.Pause(pause);
    }
    k.SendEnter();
}

}  // namespace kantrel
