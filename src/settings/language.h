#pragma once

// Translation of captions and status texts through the language file "731config.lng":
// section "LANGUAGE<n>" maps each English text (trimmed, its first "=" written ".eq.")
// to its translation; "#" means not translated yet. A text that has no translation is
// added as its own translation and the file is saved at once, so one run in a new
// language leaves a complete list of texts for a translator. Nothing is cached: every
// lookup reads the file afresh.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings.h"

namespace kantrel {

extern int languageIndex; // 0: the built-in English

inline constexpr std::string_view kApplicationTitle = "Kantrel USB"; // never translated
inline constexpr std::string_view kLanguageFileError = "Error Language File";
inline constexpr std::string_view kLanguageChanged = "Language changed, please restart application";
inline constexpr std::string_view kLanguageChoiceKey = "Lang";

// The text in language `index`, with the blanks around it kept. In language 0 the text
// comes back without its surrounding blanks and no file is touched. When the per-user
// folder is unknown or the language file cannot be read, the operator is told (through
// the window port) and the result is empty.
std::string Translate(std::string_view text, int index = languageIndex);

// The section of language n: "LANGUAGE" + n.
std::string LanguageSection(int index);

// Sets languageIndex from "Lang" at LanguageChoicePath(); false (index left as it is)
// when the per-user folder is unknown: the caller shows kAppDataNotFound.
bool ReadLanguageChoice();

struct LanguageList {
    enum class Status { Ok, NoAppData, Unreadable } status = Status::Ok;
    std::vector<std::string> names; // "English", then LANGUAGE1, 2, ... up to the first gap
};
LanguageList ReadLanguageList();

// Stores the operator's choice as "Lang" at LanguageChoicePath(); it takes effect at the
// next start.
StoreResult StoreLanguageChoice(int index);

// Reading of the language and choice files, replaceable for tests (a file that cannot be
// read is hard to make when the tests run as root). An empty function restores the
// normal reading.
using LanguageFileReader = std::function<IniFile::LoadResult(const std::string& path)>;
void SetLanguageFileReader(LanguageFileReader reader);

} // namespace kantrel
