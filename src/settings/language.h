#pragma once

// Translation of captions and status texts through the language file "731config.lng".

#include <string>
#include <string_view>

namespace kantrel {

extern int languageIndex;  // 0: the built-in English

// The text in language `index`. In language 0 the text comes back without its
// surrounding blanks and no file is touched.
std::string Translate(std::string_view text, int index = languageIndex);

}  // namespace kantrel
