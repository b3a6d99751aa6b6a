#include "settings/language.h"

#include <fmt/format.h>

#include "core/ports.h"

namespace kantrel {

int languageIndex = 0;

namespace {

constexpr std::string_view kEqualsEscape = ".eq.";
constexpr std::string_view kUntranslated = "#";

LanguageFileReader& CustomReader() {
    static LanguageFileReader reader;
    return reader;
}

IniFile::LoadResult ReadLanguageFile(const std::string& path) {
    return CustomReader() ? CustomReader()(path) : IniFile::Load(path);
}

// A self-filling save that fails is told once, not at every caption: again only after a
// save of that file has worked.
void SaveSelfFilled(const IniFile& file, const std::string& path) {
    static std::string failedPath;
    if (const SaveResult saved = file.Save(path); !saved) {
        if (failedPath != path)
            window().ShowMessage(saved.error, kCaptionWarning);
        failedPath = path;
    } else if (failedPath == path) {
        failedPath.clear();
    }
}

void ReplaceFirst(std::string& text, std::string_view what, std::string_view by) {
    if (const auto at = text.find(what); at != std::string::npos)
        text.replace(at, what.size(), by);
}

std::string_view LeadingBlanks(std::string_view text) {
    return text.substr(0, text.find_first_not_of(' '));
}

std::string_view TrailingBlanks(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(last + 1);
}

} // namespace

void SetLanguageFileReader(LanguageFileReader reader) {
    CustomReader() = std::move(reader);
}

std::string LanguageSection(int index) {
    return fmt::format("LANGUAGE{}", index);
}

std::string Translate(std::string_view text, int index) {
    std::string key(TrimBlanks(text));
    // English needs neither the per-user folder nor the file.
    if (index <= 0)
        return key;
    const auto path = LanguageFilePath();
    if (!path) {
        window().ShowMessage(kAppDataNotFound, kCaptionError);
        return {};
    }
    if (key.empty() || key == kApplicationTitle)
        return key;

    auto loaded = ReadLanguageFile(*path);
    if (!loaded.ok) {
        window().ShowMessage(kLanguageFileError, kCaptionWarning);
        return {};
    }
    // The file format splits an entry at its first "=", so a text's own "=" is escaped.
    ReplaceFirst(key, "=", kEqualsEscape);
    const std::string section = LanguageSection(index);
    std::string value = loaded.file.ReadString(section, key, kUntranslated);
    if (value == kUntranslated) {
        // A key that the file could not give back is not added: it would be added again
        // (or the file rewritten) at every lookup. "#" as its own translation reads back as
        // "not translated".
        if (key != kUntranslated && loaded.file.Write(section, key, key))
            SaveSelfFilled(loaded.file, *path);
        value = key;
    }
    ReplaceFirst(value, kEqualsEscape, "=");
    return std::string(LeadingBlanks(text)) + value + std::string(TrailingBlanks(text));
}

bool ReadLanguageChoice() {
    const auto path = LanguageChoicePath();
    // Without the working directory there is no choice to read: English.
    if (!path)
        return configInCurrentDir;
    languageIndex = ReadLanguageFile(*path).file.ReadInteger(kConfigSection, kLanguageChoiceKey, 0);
    return true;
}

LanguageList ReadLanguageList() {
    LanguageList list;
    list.names.emplace_back("English");
    const auto path = LanguageFilePath();
    if (!path) {
        list.status = LanguageList::Status::NoAppData;
        return list;
    }
    const auto loaded = ReadLanguageFile(*path);
    if (!loaded.ok) {
        list.status = LanguageList::Status::Unreadable;
        return list;
    }
    for (int n = 1;; ++n) {
        std::string name = loaded.file.ReadString(LanguageSection(n), "Language", kUntranslated);
        if (name.empty() || name == kUntranslated)
            break;
        list.names.push_back(std::move(name));
    }
    return list;
}

StoreResult StoreLanguageChoice(int index) {
    return StoreSettingAt(LanguageChoicePath(), kConfigSection, kLanguageChoiceKey, fmt::format("{}", index));
}

} // namespace kantrel
