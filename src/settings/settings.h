#pragma once

// The settings of "731config.ini", section "Config": process-wide values named after
// their keys, the folders and paths of the settings and language files, and the three
// decimal-separator conversions.

#include <optional>
#include <string>
#include <string_view>

namespace kantrel {

// Where the per-user and installation folders come from (the platform adapter).
class SystemFolders {
public:
    virtual ~SystemFolders() = default;
    virtual std::optional<std::string> AppDataFolder() const;       // $XDG_CONFIG_HOME or $HOME/.config
    virtual std::optional<std::string> ProgramFilesFolder() const;  // <exe folder>/../share
    virtual std::string CurrentDirectory() const;                   // empty when it cannot be determined
};
SystemFolders& systemFolders();
void SetSystemFolders(SystemFolders* folders);  // null restores the default

inline constexpr std::string_view kMakerSuffix = "/Marvix";
inline constexpr std::string_view kProductSuffix = "/Kantrel 731 USB";
inline constexpr std::string_view kSettingsFileName = "/731config.ini";
inline constexpr std::string_view kLanguageFileName = "/731config.lng";
inline constexpr std::string_view kConfigSection = "Config";
inline constexpr std::string_view kAppDataNotFound = "Path to AppData not found";

struct Settings {
    int SampleRate = 6;
    int Resolution = 0;
    int useSelKeySingleShot = 0;
    std::string extProgramm;
    std::string extParameter;
    int graficMode = 0;
    bool showPeakUp = true;
    bool showPeakDn = true;
    bool showPeakUpFiltered = false;
    bool showPeakDnFiltered = false;
    bool showMean = true;
    bool showMeanCompanyTrumak = false;
    bool ClrPeakAfterSingleShot = false;
    int TimerClrPeakMs = 250;
    bool ShowClrPeakCheckBox = false;
    std::string DecimalSeparator;  // one character (UTF-8); empty: no replacement
    // Limits of the Value. "LimitsOn" switches them; a limit that is absent, empty or not a
    // number is off, so that either may be off.
    bool LimitsOn = false;
    std::optional<double> LimitLow;
    std::optional<double> LimitHigh;
    bool WriteToKeyBuffer = false;
    bool ShowKeyBufCheckBox = false;
    int KeyDebounceTimeMs = 70;
    int KeyBufDelayTimeMs = 10;
    // The flight recorder: every stored data set also goes to a recording file.
    bool FlightRecorder = true;
    int RecordingsMaxMB = 2048;  // all recordings together; 0: no limit
    int RecordingsKeepDays = 30; // recordings older than this go; 0: no limit
};

extern Settings settings;
extern bool configInCurrentDir;

// Paths; nullopt when the application-data folder cannot be determined.
std::optional<std::string> PerUserFolder();
std::optional<std::string> InstallationFolder();
std::optional<std::string> SettingsFilePath();
std::optional<std::string> LanguageFilePath();
std::optional<std::string> LanguageChoicePath();

struct PrepareResult {
    enum class Status { Ok, NoAppData, CannotCreate } status = Status::Ok;
    std::string error;  // "Cannot create " + folder, for CannotCreate
};
// Ensures the per-user folder exists; on its first creation copies the default files
// from the installation folder.
PrepareResult PrepareConfigFolder();

// Decides configInCurrentDir and reads every key except "Lang" into `settings`.
// Values out of range are clamped. localeSeparator is the default of "DecimalSeparator".
void ReadSettings(std::string_view localeSeparator);

struct StoreResult {
    enum class Status { Ok, NoAppData, WriteFailed } status = Status::Ok;
    std::string error;  // for WriteFailed: names the file and the cause
    explicit operator bool() const { return status == Status::Ok; }
};
// Sets one key of section "Config" in the settings file and writes the file at once.
StoreResult StoreSetting(std::string_view key, std::string_view value);
// Two keys, one write.
StoreResult StoreSettings(std::string_view key1, std::string_view value1, std::string_view key2,
                          std::string_view value2);
// The same on an explicit file (the language choice lives at LanguageChoicePath()).
StoreResult StoreSettingAt(const std::optional<std::string>& path, std::string_view section,
                           std::string_view key, std::string_view value);

// A limit as "LimitLow" and "LimitHigh" hold it: with a point, whatever the locale, so
// that the file reads the same under every locale; empty when the limit is off. Reading
// also takes a comma (a hand-edited file); what is not a finite number is off.
std::string LimitSettingText(const std::optional<double>& limit);
std::optional<double> ParseLimitSetting(std::string_view text);

// The first "," becomes ".".
void CommaToDot(std::string& text);
// The first "," (else the first ".") becomes settings.DecimalSeparator; unchanged when
// the text has neither or no separator is configured.
void ToSettingSeparator(std::string& text);
// The first "." (else the first ",") becomes the given regional separator.
void ToLocaleSeparator(std::string& text, std::string_view localeSeparator);

}  // namespace kantrel
