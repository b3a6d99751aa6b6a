#include "settings/language.h"

#include "settings/ini_file.h"

namespace kantrel {

int languageIndex = 0;

std::string Translate(std::string_view text, int /*index*/) { return std::string(TrimBlanks(text)); }

}  // namespace kantrel
