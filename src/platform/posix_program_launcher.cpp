#include "platform/posix_program_launcher.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kantrel {
namespace {

// Collects the program's exit status once it ends, without making anyone wait for it.
void ReapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// posix_spawnp's error number, or 0 when the program started.
int Spawn(const std::string& file, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // The program starts with default signal handling, nothing blocked, and in a session
    // of its own: it belongs to the operator, not to this process.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, file.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error == 0)
        ReapInBackground(pid);
    return error;
}

// A file that exists but cannot be run (a document, a folder).
bool IsOpenableDocument(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) || ::access(path.c_str(), X_OK) != 0;
}

int OpenWithDesktop(const std::string& path) {
    const int error = Spawn("xdg-open", {"xdg-open", path});
    if (error == ENOENT)
        return kLaunchNoOpener;
    return error == 0 ? kLaunchStarted : LaunchResultForErrno(error);
}

} // namespace

int LaunchResultForErrno(int error) {
    switch (error) {
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case ENOMEM:
        return 8;
    case ENOEXEC:
        return 11;
    case EACCES:
        return 26;
    default:
        return 0;
    }
}

int PosixProgramLauncher::Launch(const std::string& program, const std::string& parameters) {
    if (program.empty())
        return LaunchResultForErrno(ENOENT);
    // A name without a folder is looked up on PATH first and then, as a file the
    // operator named, in the working directory.
    const bool hasFolder = program.find('/') != std::string::npos;
    if (hasFolder && IsOpenableDocument(program))
        return OpenWithDesktop(program);

    std::vector<std::string> arguments{program};
    for (std::string& word : SplitShellWords(parameters))
        arguments.push_back(std::move(word));
    int error = Spawn(program, arguments);
    if (error == ENOENT && !hasFolder) {
        struct stat info {};
        if (::stat(program.c_str(), &info) == 0) {
            const std::string local = "./" + program;
            if (IsOpenableDocument(local))
                return OpenWithDesktop(local);
            error = Spawn(local, arguments);
        }
    }
    return error == 0 ? kLaunchStarted : LaunchResultForErrno(error);
}

} // namespace kantrel
