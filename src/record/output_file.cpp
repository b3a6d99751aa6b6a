#include "record/output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kantrel::record {

OutputFile::~OutputFile() {
    if (ownsFd_ && fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::Open(const std::string& path) {
    if (path.empty()) {
        fd_ = STDOUT_FILENO;
        name_ = "standard output";
        return true;
    }
    name_ = "\"" + path + "\"";
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        Fail(errno);
        return false;
    }
    ownsFd_ = true;
    return true;
}

bool OutputFile::Flush() {
    if (Failed() || fd_ < 0)
        return !Failed();
    const char* data = pending_.data();
    std::size_t left = pending_.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            Fail(written < 0 ? errno : ENOSPC);
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    pending_.clear();
    return !Failed();
}

bool OutputFile::Close() {
    Flush();
    if (ownsFd_ && fd_ >= 0) {
        struct stat info {};
        // A file on a disk is complete only when it is there; a device or pipe has no disk.
        if (!Failed() && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && ::fdatasync(fd_) != 0)
            Fail(errno);
        if (::close(fd_) != 0 && !Failed())
            Fail(errno);
        fd_ = -1;
        ownsFd_ = false;
    }
    return !Failed();
}

void OutputFile::Fail(int error) {
    if (error_.empty())
        error_ = fmt::format("cannot write to {}: {}", name_, std::generic_category().message(error));
}

} // namespace kantrel::record
