#include "files/spreadsheet.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "core/ports.h"

namespace kantrel {

std::optional<std::string> FindOnPath(std::string_view name, std::string_view path) {
    namespace fs = std::filesystem;
    while (true) {
        const std::size_t colon = path.find(':');
        std::string_view folder = path.substr(0, colon);
        if (folder.empty())
            folder = "."; // an empty entry stands for the working directory
        const std::string candidate = (fs::path(folder) / name).string();
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos)
            return std::nullopt;
        path.remove_prefix(colon + 1);
    }
}

std::optional<SpreadsheetProgram> FindSpreadsheetProgram() {
    static constexpr struct {
        std::string_view name, parameters;
    } kCandidates[] = {{"libreoffice", "--calc"}, {"localc", ""}, {"gnumeric", ""}};
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return std::nullopt;
    for (const auto& candidate : kCandidates)
        if (auto found = FindOnPath(candidate.name, path))
            return SpreadsheetProgram{*found, std::string(candidate.parameters)};
    return std::nullopt;
}

void StartSpreadsheet() {
    if (auto spreadsheet = FindSpreadsheetProgram())
        launcher().Launch(spreadsheet->program, spreadsheet->parameters);
}

} // namespace kantrel
