#pragma once

// The system calls through which the program writes its files: the data file, the
// settings and language files, the flight recorder's recordings, and any file written
// later the same way. Tests replace
// them to make a call fail part-way (a full disk), to answer a permission check as it
// would for a user without the rights that root has, or to end the process right after
// any one call. Every function returns and sets errno as the system call does.

#include <cstddef>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace kantrel {

struct FileCalls {
    std::function<int(const char* path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(int fd)> fdatasync;
    std::function<int(int fd)> close;
    std::function<int(const char* from, const char* to)> rename;
    std::function<int(const char* path)> unlink;
    std::function<int(const char* path, struct stat* info)> stat;
    std::function<int(const char* path, int mode)> access;
    std::function<int(int fd, uid_t owner, gid_t group)> fchown;
    std::function<int(int fd, mode_t mode)> fchmod;
    std::function<int(int fd, off_t length)> ftruncate;
    // Reserves the room for `length` bytes from `offset` (posix_fallocate, with errno).
    std::function<int(int fd, off_t offset, off_t length)> allocate;
    std::function<int(const char* path, mode_t mode)> mkdir;

    static FileCalls System();
};

// The calls in use: the system's unless a test installed others.
const FileCalls& fileCalls();
// Installs other calls for the whole process; null restores the system's.
void SetFileCalls(const FileCalls* calls);

// Writes all bytes, also when the system takes them in parts: 0, or the errno of the
// failure (ENOSPC for a write that takes nothing).
int WriteAllBytes(int fd, std::string_view bytes, const FileCalls& calls);

} // namespace kantrel
