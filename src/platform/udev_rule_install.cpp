#include "platform/udev_rule_install.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fmt/format.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kantrel {

namespace {

int RunAndWait(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Writes the file under a temporary name first, so that udev never reads half a rule.
std::string WriteRuleFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr)
        return std::strerror(errno);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = errno;
        std::remove(temporary.c_str());
        return std::strerror(error);
    }
    ::chmod(temporary.c_str(), 0644);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}

std::string Command(const std::vector<std::string>& arguments) {
    return fmt::format("{}", fmt::join(arguments, " "));
}

} // namespace

UdevSystem RealUdevSystem() {
    UdevSystem system;
    system.isRoot = [] { return ::geteuid() == 0; };
    system.run = RunAndWait;
    return system;
}

UdevInstallResult InstallUdevRule(UsbId id, const UdevSystem& system) {
    const std::string usbId = FormatUsbId(id);
    if (!system.isRoot())
        return {false,
                fmt::format("Writing the udev rule needs root. Run:\nsudo {} --udev-rule {} --install\n",
                            UdevRuleProgram(), usbId)};

    const std::string path = system.rulesFolder + "/" + UdevRuleFileName(id);
    if (const std::string error = WriteRuleFile(path, UdevRuleText(id)); !error.empty())
        return {false, fmt::format("Cannot write {}: {}\n", path, error)};

    const std::vector<std::vector<std::string>> commands = {
        {"udevadm", "control", "--reload"},
        {"udevadm", "trigger", "--subsystem-match=usb",
         fmt::format("--attr-match=idVendor={:04x}", id.vendor),
         fmt::format("--attr-match=idProduct={:04x}", id.product)},
    };
    for (const auto& command : commands) {
        if (system.run(command) != 0)
            return {false, fmt::format("Wrote {}, but \"{}\" failed. Unplug the instrument and plug it in "
                                       "again; if it still cannot be opened, restart the computer.\n",
                                       path, Command(command))};
    }
    return {true, fmt::format("Wrote {} and reloaded udev: the user at this computer can now use the "
                              "device {}. Start the program again.\n",
                              path, usbId)};
}

} // namespace kantrel
