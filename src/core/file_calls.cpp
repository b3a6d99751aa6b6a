#include "core/file_calls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kantrel {
namespace {

const FileCalls*& Installed() {
    static const FileCalls* installed = nullptr;
    return installed;
}

} // namespace

FileCalls FileCalls::System() {
    FileCalls calls;
    calls.open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); };
    calls.write = [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
    calls.fsync = [](int fd) { return ::fsync(fd); };
    calls.fdatasync = [](int fd) { return ::fdatasync(fd); };
    calls.close = [](int fd) { return ::close(fd); };
    calls.rename = [](const char* from, const char* to) { return ::rename(from, to); };
    calls.unlink = [](const char* path) { return ::unlink(path); };
    calls.stat = [](const char* path, struct stat* info) { return ::stat(path, info); };
    calls.access = [](const char* path, int mode) { return ::access(path, mode); };
    calls.fchown = [](int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); };
    calls.fchmod = [](int fd, mode_t mode) { return ::fchmod(fd, mode); };
    calls.ftruncate = [](int fd, off_t length) { return ::ftruncate(fd, length); };
    calls.allocate = [](int fd, off_t offset, off_t length) {
        const int error = ::posix_fallocate(fd, offset, length);
        if (error == 0)
            return 0;
        errno = error;
        return -1;
    };
    calls.mkdir = [](const char* path, mode_t mode) { return ::mkdir(path, mode); };
    return calls;
}

const FileCalls& fileCalls() {
    static const FileCalls system = FileCalls::System();
    return Installed() ? *Installed() : system;
}

void SetFileCalls(const FileCalls* calls) {
    Installed() = calls;
}

int WriteAllBytes(int fd, std::string_view bytes, const FileCalls& calls) {
    while (!bytes.empty()) {
        const ssize_t written = calls.write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

} // namespace kantrel
