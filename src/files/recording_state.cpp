#include "files/recording_state.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include "settings/ini_file.h"

namespace kantrel {

namespace {

constexpr std::string_view kSection = "LastRun";

std::string DataSetsText(std::int64_t count) {
    return count == 1 ? std::string("1 data set") : fmt::format("{} data sets", count);
}

} // namespace

std::string SerializeRunRecord(const RunRecord& run) {
    IniFile ini;
    ini.Write(kSection, "Started", run.started);
    ini.Write(kSection, "Files", std::to_string(run.files.size()));
    for (std::size_t i = 0; i < run.files.size(); ++i)
        ini.Write(kSection, fmt::format("File{}", i + 1), run.files[i]);
    ini.Write(kSection, "SavedFile", run.savedFile);
    ini.Write(kSection, "SavedLines", std::to_string(run.savedLines));
    return ini.Serialize();
}

namespace {

RunRecord FromIni(const IniFile& ini) {
    RunRecord run;
    run.started = ini.ReadString(kSection, "Started", "");
    const int files = std::max(0, ini.ReadInteger(kSection, "Files", 0));
    for (int i = 1; i <= files; ++i) {
        std::string name = ini.ReadString(kSection, fmt::format("File{}", i), "");
        if (!name.empty())
            run.files.push_back(std::move(name));
    }
    run.savedFile = ini.ReadString(kSection, "SavedFile", "");
    const std::string savedLines = ini.ReadString(kSection, "SavedLines", "0");
    std::from_chars(savedLines.data(), savedLines.data() + savedLines.size(), run.savedLines);
    run.savedLines = std::max<std::int64_t>(0, run.savedLines);
    return run;
}

} // namespace

RunRecord ParseRunRecord(std::string_view bytes) {
    return FromIni(IniFile::Parse(bytes));
}

RunRecord LoadRunRecord(const std::string& path) {
    return FromIni(IniFile::Load(path).file);
}

std::int64_t CountLineEnds(std::string_view bytes) {
    return std::count(bytes.begin(), bytes.end(), '\n');
}

std::optional<std::int64_t> CountRecordedDataSets(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::int64_t lineEnds = 0;
    std::string buffer(1 << 20, '\0');
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        lineEnds += CountLineEnds(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return std::max<std::int64_t>(0, lineEnds - 1); // the header is no data set
}

std::vector<UnsavedRecording>
FindUnsaved(const RunRecord& run,
            const std::function<std::optional<std::int64_t>(const std::string&)>& countDataSets) {
    const auto saved = std::find(run.files.begin(), run.files.end(), run.savedFile);
    // Files before the saved one were complete when the save happened.
    auto from = saved == run.files.end() ? run.files.begin() : saved;
    std::vector<UnsavedRecording> unsaved;
    for (auto file = from; file != run.files.end(); ++file) {
        const std::optional<std::int64_t> count = countDataSets(*file);
        const std::int64_t alreadySaved = file == saved ? run.savedLines : 0;
        if (count && *count > alreadySaved)
            unsaved.push_back({*file, *count});
    }
    return unsaved;
}

std::string RecoveryMessage(const std::vector<UnsavedRecording>& unsaved, const std::string& folder) {
    if (unsaved.size() == 1) {
        return fmt::format("The last run ended before all of its data sets were saved.\n"
                           "The recording {}/{} holds {}.\nLOAD opens it.",
                           folder, unsaved[0].name, DataSetsText(unsaved[0].dataSets));
    }
    std::string text =
        "The last run ended before all of its data sets were saved.\nThese recordings hold them:";
    for (const UnsavedRecording& file : unsaved)
        text += fmt::format("\n{}/{} ({})", folder, file.name, DataSetsText(file.dataSets));
    return text + "\nLOAD opens each of them.";
}

} // namespace kantrel
