#include "files/recording_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "core/date_time.h"

namespace kantrel {

namespace {

constexpr int kMaxNameAttempts = 99; // two digits keep the names in order

std::optional<std::string> AbsoluteEnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    // A relative path would depend on the working directory: the XDG rules ignore it.
    if (value == nullptr || value[0] != '/')
        return std::nullopt;
    return std::string(value);
}

} // namespace

std::optional<std::string> RecordingsFolder() {
    std::optional<std::string> dataHome = AbsoluteEnvironmentPath("XDG_DATA_HOME");
    if (!dataHome) {
        const std::optional<std::string> home = AbsoluteEnvironmentPath("HOME");
        if (!home)
            return std::nullopt;
        dataHome = *home + "/.local/share";
    }
    return *dataHome + "/kantrel731/recordings";
}

std::string RecordingFileName(double startTime, int attempt) {
    const CivilDateTime t = DecodeDateTime(startTime);
    std::string name = fmt::format("{}{:04}-{:02}-{:02}_{:02}-{:02}-{:02}-{:03}", kRecordingPrefix, t.year,
                                   t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    if (attempt > 1)
        name += fmt::format("_{:02}", attempt);
    return name + std::string(kRecordingExtension);
}

bool IsRecordingFileName(std::string_view name) {
    return name.size() > kRecordingPrefix.size() + kRecordingExtension.size() &&
           name.starts_with(kRecordingPrefix) && name.ends_with(kRecordingExtension);
}

int MakeFolders(const std::string& path, const FileCalls& calls) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat existing {};
        if (::stat(part.c_str(), &existing) == 0) {
            if (!S_ISDIR(existing.st_mode))
                return ENOTDIR;
        } else if (calls.mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash == std::string::npos)
            return 0;
    }
}

int SyncFolder(const std::string& path, const FileCalls& calls) {
    const int fd = calls.open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    // Some file systems cannot flush a folder (EINVAL): there is nothing more to do.
    const int error = calls.fdatasync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    return error;
}

RecordingFile::Created RecordingFile::Create(const std::string& folder, double startTime,
                                             const std::string& header, const FileCalls& calls) {
    Created created;
    int fd = -1;
    for (int attempt = 1; attempt <= kMaxNameAttempts && fd < 0; ++attempt) {
        created.path = folder + "/" + RecordingFileName(startTime, attempt);
        fd = calls.open(created.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        created.error = errno;
        return created;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);
    RecordingFile file(fd, created.path.substr(folder.size() + 1), header, calls);
    int error = file.Append(header + "\r\n", 0);
    if (error == 0)
        error = SyncFolder(folder, calls);
    if (error != 0) {
        // A recording without its header would not load: it goes.
        file.Close();
        ::unlink(created.path.c_str());
        created.error = error;
        return created;
    }
    created.file.emplace(std::move(file));
    return created;
}

RecordingFile::RecordingFile(int fd, std::string name, std::string header, const FileCalls& calls)
    : fd_(fd), name_(std::move(name)), header_(std::move(header)), calls_(&calls) {}

RecordingFile::RecordingFile(RecordingFile&& other) noexcept {
    *this = std::move(other);
}

RecordingFile& RecordingFile::operator=(RecordingFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        header_ = std::move(other.header_);
        dataLines_ = other.dataLines_;
        bytes_ = other.bytes_;
        calls_ = other.calls_;
    }
    return *this;
}

RecordingFile::~RecordingFile() {
    Close();
}

int RecordingFile::Append(std::string_view bytes, std::int64_t lines) {
    if (fd_ < 0)
        return EBADF;
    const int error = WriteAllBytes(fd_, bytes, *calls_);
    if (error != 0) {
        // What did get written ends in a torn line: cut it off.
        calls_->ftruncate(fd_, static_cast<off_t>(bytes_));
        return error;
    }
    bytes_ += bytes.size();
    dataLines_ += lines;
    return 0;
}

int RecordingFile::Sync() {
    if (fd_ < 0)
        return EBADF;
    return calls_->fdatasync(fd_) == 0 ? 0 : errno;
}

void RecordingFile::Close() {
    if (fd_ < 0)
        return;
    ::close(fd_); // the lock goes with it
    fd_ = -1;
}

} // namespace kantrel
