#pragma once

#include <string>

namespace kantrel {

// Types the text into the focused window, character by character, then Enter. The
// configured decimal separator is put into `text` itself first.
void TypeIntoKeyBuffer(std::string& text);

}  // namespace kantrel
