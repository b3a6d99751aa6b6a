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
void ReadUdevRuleId(const std::optional<std::string>& value, CommandLine& line) {
    line.udevRule = value ? ParseUsbId(*value) : std::nullopt;
    if (!line.udevRule && line.error.empty())
        line.error = "--udev-rule needs a USB ID as VID:PID in hexadecimal, e.g. 1234:5678" +
                     (value ? ", not \"" + *value + "\"" : std::string());
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
        } else if (a == "--udev-rule" || a.rfind("--udev-rule=", 0) == 0) {
            std::optional<std::string> value;
            if (a.size() > 11)
                value = a.substr(12);
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            ReadUdevRuleId(value, line);
        } else if (a == "--install") {
            line.installUdevRule = true;
        } else if (IsQtOption(a, takesValue)) {
            if (takesValue)
                ++i;
        } else if (line.error.empty()) {
            line.error = "unknown argument: " + a;
        }
    }
    if (line.installUdevRule && !line.udevRule && line.error.empty())
        line.error = "--install goes with --udev-rule VID:PID";
    return line;
}

std::string UsageText(const std::string& programName) {
    return fmt::format(
        "Usage: {0} [--simulate[=FILE]] [--help] [--version]\n"
        "       {0} --udev-rule VID:PID [--install]\n"
        "Measuring program for the Tensolog USB instrument.\n"
        "\n"
        "  --simulate         run on the simulated instrument (built-in scenario)\n"
        "  --simulate=FILE    run on the simulated instrument described by the scenario FILE\n"
        "  --udev-rule VID:PID\n"
        "                     print the udev rule that lets the user at this computer use the\n"
        "                     USB device VID:PID (hexadecimal, e.g. 1234:5678) and end\n"
        "  --install          with --udev-rule, as root: write that rule into /etc/udev/rules.d\n"
        "                     and make udev apply it to the device that is plugged in\n"
        "  --help             show this text and end\n"
        "  --version          show the program version and end\n"
        "\n"
        "Without --simulate the program looks for the instrument on USB; the environment\n"
        "variable KANTREL731_USB_IDS (e.g. 1234:5678,abcd:0001) names further devices to try.\n"
        "When a device that looks like the instrument cannot be opened, the program says so\n"
        "and names the --udev-rule command for it.\n",
        programName);
}

std::string VersionText() {
    return fmt::format("kantrel731 {}\n", KANTREL_VERSION);
}

} // namespace kantrel::ui
