// Settings and language files of about 1 MB: reading them must stay far below a second.
// Prints, as its last lines (milliseconds, the median of 5 runs):
//   parse_1MB_sections_ms           a file of 1 MB of distinct "[n]" lines, parsed
//   parse_1MB_settings_ms           a settings file of 1 MB of entries in one section
//   store_setting_1MB_ms            one StoreSetting on that file (read, change, write)
//   language_list_20000_ms          ReadLanguageList over 20,000 language sections (1 MB)
//   translate_20000_ms              one Translate (lookup and self-filling save) there

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

using namespace kantrel;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kMegabyte = 1 << 20;

template <typename F> double MedianMs(F&& run) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

class BenchFolders : public SystemFolders {
public:
    explicit BenchFolders(std::string appData) : appData_(std::move(appData)) {}
    std::optional<std::string> AppDataFolder() const override { return appData_; }
    std::optional<std::string> ProgramFilesFolder() const override { return std::nullopt; }

private:
    std::string appData_;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::exit(1);
    std::fclose(f);
}

} // namespace

int main() {
    std::string sections;
    for (int n = 0; sections.size() < kMegabyte; ++n)
        sections += fmt::format("[{}]\n", n);
    const double parseSections = MedianMs([&] { IniFile::Parse(sections); });

    std::string entries = "[Config]\n";
    for (int n = 0; entries.size() < kMegabyte; ++n)
        entries += fmt::format("key{}={}\n", n, n);
    const double parseSettings = MedianMs([&] { IniFile::Parse(entries); });

    std::string folder = (std::filesystem::temp_directory_path() / "kantrel_ini_bench_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    BenchFolders folders(folder);
    SetSystemFolders(&folders);
    std::filesystem::create_directories(*PerUserFolder());

    WriteFile(*SettingsFilePath(), entries);
    bool stored = true;
    const double store = MedianMs(
        [&] { stored = StoreSetting("graficMode", "2").status == StoreResult::Status::Ok && stored; });

    std::string language;
    for (int n = 1; n <= 20000; ++n)
        language += fmt::format("[LANGUAGE{}]\nLanguage=Language number {}\n&SAVE=&SPEICHERN {}\n", n, n, n);
    WriteFile(*LanguageFilePath(), language);
    std::size_t names = 0;
    const double list = MedianMs([&] { names = ReadLanguageList().names.size(); });
    int k = 0;
    const double translate = MedianMs([&] { Translate(fmt::format("Text {}", k++), 20000); });
    SetSystemFolders(nullptr);
    std::filesystem::remove_all(folder);
    if (!stored || names != 20001) {
        std::fprintf(stderr, "ini_file_bench: store or language list failed (%zu names)\n", names);
        return 1;
    }
    std::printf("parse_1MB_sections_ms %.1f\n", parseSections);
    std::printf("parse_1MB_settings_ms %.1f\n", parseSettings);
    std::printf("store_setting_1MB_ms %.1f\n", store);
    std::printf("language_list_20000_ms %.1f\n", list);
    std::printf("translate_20000_ms %.1f\n", translate);
    std::printf("language_file_bytes %zu\n", language.size());
    return 0;
}
