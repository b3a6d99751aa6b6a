#pragma once

// The spreadsheet program that receives the data sets through the clipboard.

#include <optional>
#include <string>
#include <string_view>

namespace kantrel {

struct SpreadsheetProgram {
    std::string program;    // as found on PATH
    std::string parameters; // "--calc" for the LibreOffice starter
};

// The full path of an executable file of that name in one of the folders of `path`
// (a colon-separated list, as in $PATH); nullopt when there is none.
std::optional<std::string> FindOnPath(std::string_view name, std::string_view path);

// The first of "libreoffice --calc", "localc" and "gnumeric" found on $PATH.
std::optional<SpreadsheetProgram> FindSpreadsheetProgram();

// Starts the spreadsheet without waiting for it. Nothing happens, and nothing is said,
// when none is installed or it cannot be started: the text stays on the clipboard.
void StartSpreadsheet();

} // namespace kantrel
