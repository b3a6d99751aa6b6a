#include "ui/command_line.h"

#include <fmt/format.h>

namespace kantrel::ui {

namespace {
// Options that Qt's application object takes, with the ones that take a value.
bool IsQtOption(const std::string& argument, bool& takesValue) {
    static const char* withValue[] = {"-platform",      "-display",     "-geometry",
                                      "-style",         "-stylesheet",  "-qwindowgeometry",
                                      "-qwindowtitle",  "-qwindowicon", "-platformpluginpath",
                                      "-platformtheme", "-plugin",      "-session",
                                      "-name",          "-title"};
    static const char* alone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    for (const char* option : withValue) {
        if (argument == option) {
            takesValue = true;
            return true;
        }
    }
    for (const char* option : alone) {
        if (argument == option) {
            takesValue = false;
            return true;
        }
    }
    return false;
}
} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        bool takesValue = false;
        if (a == "--help" || a == "-h") {
            line.help = true;
        } else if (a == "--version") {
            line.version = true;
        } else if (a == "--simulate") {
            line.simulate = true;
        } else if (a.rfind("--simulate=", 0) == 0) {
            line.simulate = true;
            line.scenarioFile = a.substr(11);
            if (line.scenarioFile.empty())
                line.error = "--simulate= needs a file name";
        } else if (IsQtOption(a, takesValue)) {
            if (takesValue)
                ++i;
        } else if (line.error.empty()) {
            line.error = "unknown argument: " + a;
        }
    }
    return line;
}

std::string UsageText(const std::string& programName) {
    return fmt::format(
        "Usage: {} [--simulate[=FILE]] [--help] [--version]\n"
        "Measuring program for the Tensolog USB instrument.\n"
        "\n"
        "  --simulate         run on the simulated instrument (built-in scenario)\n"
        "  --simulate=FILE    run on the simulated instrument described by the scenario FILE\n"
        "  --help             show this text and end\n"
        "  --version          show the program version and end\n"
        "\n"
        "Without --simulate the program looks for the instrument on USB; the environment\n"
        "variable KANTREL731_USB_IDS (e.g. 1234:5678,abcd:0001) names further devices to try.\n",
        programName);
}

std::string VersionText() {
    return fmt::format("kantrel731 {}\n", KANTREL_VERSION);
}

} // namespace kantrel::ui
