#pragma once

// The program's command line: --help, --version, --simulate[=FILE].

#include <optional>
#include <string>
#include <vector>

namespace kantrel::ui {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool simulate = false;
    std::string scenarioFile; // empty: the built-in scenario
    std::string error;        // an argument the program does not know
};

// Qt's own arguments (-platform, -display, ...) are left to Qt.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText(const std::string& programName);
std::string VersionText();

} // namespace kantrel::ui
