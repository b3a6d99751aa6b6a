#include "settings/settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <utility>
#include <unistd.h>

#include "core/value_text.h"
#include "settings/ini_file.h"

namespace kantrel {

Settings settings;
bool configInCurrentDir = false;

namespace fs = std::filesystem;

std::optional<std::string> SystemFolders::AppDataFolder() const {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') return std::string(xdg);
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.config";
    return std::nullopt;
}

std::optional<std::string> SystemFolders::ProgramFilesFolder() const {
    // The program lives in <prefix>/bin; its default files in <prefix>/share/...
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    const fs::path share = fs::weakly_canonical(exe.parent_path() / ".." / "share", ec);
    if (ec) return std::nullopt;
    return share.string();
}

std::string SystemFolders::CurrentDirectory() const {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string() : cwd.string();
}

namespace {
SystemFolders* currentFolders = nullptr;

std::string ProductSuffix() { return std::string(kMakerSuffix) + std::string(kProductSuffix); }

// The first character of a UTF-8 text.
std::string FirstCharacter(const std::string& text) {
    if (text.empty()) return {};
    const auto c = static_cast<unsigned char>(text[0]);
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return text.substr(0, std::min(length, text.size()));
}

void ReplaceFirstOf(std::string& text, std::string_view first, std::string_view second, std::string_view by) {
    std::size_t at = text.find(first);
    if (at == std::string::npos) at = text.find(second);
    if (at == std::string::npos) return;
    text.replace(at, 1, by);
}
}  // namespace

SystemFolders& systemFolders() {
    static SystemFolders fallback;
    return currentFolders ? *currentFolders : fallback;
}
void SetSystemFolders(SystemFolders* folders) { currentFolders = folders; }

std::optional<std::string> PerUserFolder() {
    auto appData = systemFolders().AppDataFolder();
    if (!appData) return std::nullopt;
    return *appData + ProductSuffix();
}

std::optional<std::string> InstallationFolder() {
    auto programFiles = systemFolders().ProgramFilesFolder();
    if (!programFiles) return std::nullopt;
    return *programFiles + ProductSuffix();
}

namespace {
// The file in the working directory; nullopt when that cannot be determined (it has been
// removed), never a file in the root folder.
std::optional<std::string> InWorkingDirectory(std::string_view name) {
    const std::string cwd = systemFolders().CurrentDirectory();
    if (cwd.empty())
        return std::nullopt;
    return cwd + std::string(name);
}
} // namespace

std::optional<std::string> SettingsFilePath() {
    if (configInCurrentDir)
        return InWorkingDirectory(kSettingsFileName);
    auto folder = PerUserFolder();
    if (!folder) return std::nullopt;
    return *folder + std::string(kSettingsFileName);
}

std::optional<std::string> LanguageFilePath() {
    auto folder = PerUserFolder();
    if (!folder) return std::nullopt;
    return *folder + std::string(kLanguageFileName);
}

std::optional<std::string> LanguageChoicePath() {
    if (configInCurrentDir)
        return InWorkingDirectory(kLanguageFileName);
    return SettingsFilePath();
}

PrepareResult PrepareConfigFolder() {
    auto appData = systemFolders().AppDataFolder();
    if (!appData) return {PrepareResult::Status::NoAppData, {}};

    std::error_code ec;
    const std::string maker = *appData + std::string(kMakerSuffix);
    // The parent folder ($HOME/.config) may be missing on a fresh account: create it too.
    if (!fs::is_directory(maker, ec) && (fs::create_directories(maker, ec), !fs::is_directory(maker, ec)))
        return {PrepareResult::Status::CannotCreate, "Cannot create " + maker};

    const std::string perUser = maker + std::string(kProductSuffix);
    if (fs::is_directory(perUser, ec)) return {};
    if (!fs::create_directory(perUser, ec) && !fs::is_directory(perUser, ec))
        return {PrepareResult::Status::CannotCreate, "Cannot create " + perUser};

    // First start of this user: seed the folder with the installed defaults.
    if (auto install = InstallationFolder()) {
        for (std::string_view name : {kSettingsFileName, kLanguageFileName}) {
            fs::copy_file(*install + std::string(name), perUser + std::string(name),
                          fs::copy_options::overwrite_existing, ec);
        }
    }
    return {};
}

void ReadSettings(std::string_view localeSeparator) {
    // Started in the installation folder (as the desktop entry does) the settings live
    // in the per-user folder; started anywhere else, in the working directory. Without
    // an installation folder to compare with, the per-user folder is used.
    // A working directory that cannot be determined is no folder to keep settings in.
    const auto install = InstallationFolder();
    const std::string cwd = systemFolders().CurrentDirectory();
    configInCurrentDir = install && !cwd.empty() && cwd != *install;

    IniFile ini;
    if (auto path = SettingsFilePath()) ini = IniFile::Load(*path).file;
    const std::string_view c = kConfigSection;
    Settings s;
    s.SampleRate = std::clamp(ini.ReadInteger(c, "SampleRate", 6), 0, 12);
    s.Resolution = ini.ReadInteger(c, "Resolution", 0);
    s.useSelKeySingleShot = ini.ReadInteger(c, "useSelKeySingleShot", 0);
    s.extProgramm = ini.ReadString(c, "extProgramm", "");
    s.extParameter = ini.ReadString(c, "extParameter", "");
    s.graficMode = std::clamp(ini.ReadInteger(c, "graficMode", 0), 0, 2);
    s.showPeakUp = ini.ReadBool(c, "showPeakUp", true);
    s.showPeakDn = ini.ReadBool(c, "showPeakDn", true);
    s.showPeakUpFiltered = ini.ReadBool(c, "showPeakUpFiltered", false);
    s.showPeakDnFiltered = ini.ReadBool(c, "showPeakDnFiltered", false);
    s.showMean = ini.ReadBool(c, "showMean", true);
    s.showMeanCompanyTrumak = ini.ReadBool(c, "showMeanCompanyTrumak", false);
    s.ClrPeakAfterSingleShot = ini.ReadBool(c, "ClrPeakAfterSingleShot", false);
    // Negative times would make timers and pauses meaningless: they count as 0.
    s.TimerClrPeakMs = std::max(0, ini.ReadInteger(c, "TimerClrPeakMs", 250));
    s.ShowClrPeakCheckBox = ini.ReadBool(c, "ShowClrPeakCheckBox", false);
    s.DecimalSeparator = FirstCharacter(ini.ReadString(c, "DecimalSeparator", localeSeparator));
    s.LimitsOn = ini.ReadBool(c, "LimitsOn", false);
    s.LimitLow = ParseLimitSetting(ini.ReadString(c, "LimitLow", ""));
    s.LimitHigh = ParseLimitSetting(ini.ReadString(c, "LimitHigh", ""));
    s.WriteToKeyBuffer = ini.ReadBool(c, "WriteToKeyBuffer", false);
    s.ShowKeyBufCheckBox = ini.ReadBool(c, "ShowKeyBufCheckBox", false);
    s.KeyDebounceTimeMs = std::max(0, ini.ReadInteger(c, "KeyDebounceTimeMs", 70));
    s.KeyBufDelayTimeMs = std::max(0, ini.ReadInteger(c, "KeyBufDelayTimeMs", 10));
    s.FlightRecorder = ini.ReadBool(c, "FlightRecorder", true);
    // A negative limit would remove every recording: it counts as no limit.
    s.RecordingsMaxMB = std::max(0, ini.ReadInteger(c, "RecordingsMaxMB", 2048));
    s.RecordingsKeepDays = std::max(0, ini.ReadInteger(c, "RecordingsKeepDays", 30));
    settings = std::move(s);
}

namespace {
using Entry = std::pair<std::string_view, std::string_view>;

StoreResult StoreEntries(const std::optional<std::string>& path, std::string_view section,
                         std::initializer_list<Entry> entries) {
    if (!path && configInCurrentDir)
        return {StoreResult::Status::WriteFailed,
                "The working directory cannot be determined (it may have been removed): nothing was stored."};
    if (!path) return {StoreResult::Status::NoAppData, std::string(kAppDataNotFound)};
    auto loaded = IniFile::Load(*path);
    // A file that exists but cannot be read is not overwritten with a single key.
    if (!loaded.ok) return {StoreResult::Status::WriteFailed, "Cannot read " + *path + ": " + loaded.error};
    // Nothing is stored when one entry could not be read back as it is.
    for (const auto& [key, value] : entries)
        if (!loaded.file.Write(section, key, value))
            return {StoreResult::Status::WriteFailed,
                    "The setting " + std::string(key) + " cannot be stored in " + *path + ": its value \"" +
                        std::string(value) + "\" would not read back as it is."};
    if (const SaveResult saved = loaded.file.Save(*path); !saved)
        return {StoreResult::Status::WriteFailed, saved.error};
    return {};
}
}  // namespace

StoreResult StoreSettingAt(const std::optional<std::string>& path, std::string_view section,
                           std::string_view key, std::string_view value) {
    return StoreEntries(path, section, {{key, value}});
}

StoreResult StoreSetting(std::string_view key, std::string_view value) {
    return StoreEntries(SettingsFilePath(), kConfigSection, {{key, value}});
}

StoreResult StoreSettings(std::string_view key1, std::string_view value1, std::string_view key2,
                          std::string_view value2) {
    return StoreEntries(SettingsFilePath(), kConfigSection, {{key1, value1}, {key2, value2}});
}

std::string LimitSettingText(const std::optional<double>& limit) {
    if (!limit)
        return {};
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *limit);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::optional<double> ParseLimitSetting(std::string_view text) {
    if (auto value = ParseValueText(text, "."))
        return value;
    return ParseValueText(text, ",");
}

void CommaToDot(std::string& text) {
    if (const auto at = text.find(','); at != std::string::npos) text[at] = '.';
}

void ToSettingSeparator(std::string& text) {
    if (settings.DecimalSeparator.empty()) return;
    ReplaceFirstOf(text, ",", ".", settings.DecimalSeparator);
}

void ToLocaleSeparator(std::string& text, std::string_view localeSeparator) {
    ReplaceFirstOf(text, ".", ",", localeSeparator);
}

}  // namespace kantrel
