#include "files/data_file_writer.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fmt/format.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "device/device_parameters.h"
#include "measure/meas_data.h"

namespace kantrel {

std::string BuildHeaderLine(const ListCaptions& captions, int sampleRateIndex) {
    std::string header = captions[0];
    for (int column = 1; column < kListColumnCount; ++column) {
        header += '\t';
        header += captions[static_cast<std::size_t>(column)];
    }
    fmt::format_to(std::back_inserter(header), "\t({}ms)", AveragingCountFor(sampleRateIndex));
    return header;
}

std::string FormatDataSetLine(const TMeasData& store, int number, int row) {
    const tDataListArray& r = store.Row(row);
    std::string line = fmt::format("{}", number);
    for (const std::string* text : {&r.dateText, &r.timeText, &r.msText, &r.meanText, &r.minText, &r.maxText,
                                    &r.minAvrText, &r.maxAvrText}) {
        line += '\t';
        line += *text;
    }
    return line;
}

std::vector<std::string> BuildDataSetLines(const ListCaptions& captions, const TMeasData& store,
                                           int sampleRateIndex) {
    std::vector<std::string> lines;
    const int newest = store.GetDataListPos();
    const int size = store.GetDataListSize();
    lines.reserve(static_cast<std::size_t>(store.IsDataListWrapped() ? size : newest + 1) + 1);
    lines.push_back(BuildHeaderLine(captions, sampleRateIndex));
    int number = 1;
    // After a wrap-around the rows behind the newest one hold the oldest data sets.
    if (store.IsDataListWrapped())
        for (int row = newest + 1; row < size; ++row)
            lines.push_back(FormatDataSetLine(store, number++, row));
    for (int row = 0; row <= newest; ++row)
        lines.push_back(FormatDataSetLine(store, number++, row));
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

FileCalls FileCalls::System() {
    return FileCalls{[](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
                     [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); },
                     [](const char* path, int mode) { return ::access(path, mode); }};
}

namespace {

namespace fs = std::filesystem;

std::string Cause(int error) {
    return std::generic_category().message(error);
}

SaveResult Failure(const std::string& path, int error) {
    return {false, fmt::format("Cannot save to \"{}\": {}", path, Cause(error))};
}

// Writes all bytes; the errno of the failure otherwise (ENOSPC for a write that stops).
int WriteAll(int fd, std::string_view bytes, const FileCalls& calls) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = calls.write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Writes, flushes to the disk and closes; the errno of the first failure.
int WriteSyncClose(int fd, std::string_view bytes, const FileCalls& calls) {
    int error = WriteAll(fd, bytes, calls);
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

SaveResult WriteInPlace(const std::string& path, const std::string& target, std::string_view bytes,
                        const FileCalls& calls) {
    const int fd = calls.open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return Failure(path, errno);
    if (const int error = WriteSyncClose(fd, bytes, calls); error != 0)
        return Failure(path, error);
    return {};
}

std::string TemporaryNameFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const fs::path p(target);
    const std::string name = fmt::format(".{}.{}-{}.tmp", p.filename().string(), ::getpid(), counter++);
    return (p.parent_path() / name).string();
}

// The file that the operator's name stands for: a symbolic link is followed, so that
// the save replaces the file it points to and not the link.
std::string ResolveTarget(const std::string& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec))
        return path;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

} // namespace

SaveResult SaveFileReplacing(const std::string& path, std::string_view bytes, const FileCalls& calls) {
    const std::string target = ResolveTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        // A device or pipe is written as it is: renaming over it would replace it.
        if (!S_ISREG(existing.st_mode))
            return WriteInPlace(path, target, bytes, calls);
        // A write-protected file stays protected, although its folder would let us replace it.
        if (calls.access(target.c_str(), W_OK) != 0)
            return Failure(path, errno);
    }

    const std::string temporary = TemporaryNameFor(target);
    const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
    const int fd = calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        const int error = errno;
        // A folder that lets us write the file but not create one beside it.
        if (error == EACCES || error == EPERM)
            return WriteInPlace(path, target, bytes, calls);
        return Failure(path, error);
    }
    if (exists)
        ::fchmod(fd, mode); // the umask must not narrow the old file's permissions

    if (const int error = WriteSyncClose(fd, bytes, calls); error != 0) {
        ::unlink(temporary.c_str());
        return Failure(path, error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failure(path, error);
    }
    return {};
}

SaveResult SaveDataSetLines(const std::string& path, const std::vector<std::string>& lines,
                            const FileCalls& calls) {
    return SaveFileReplacing(path, JoinLinesCrLf(lines), calls);
}

} // namespace kantrel
