#include "core/replace_file.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fmt/format.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "core/text_encoding.h"

namespace kantrel {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr int kMaxLinks = 40;

SaveResult Failure(const std::string& path, int error) {
    return {false, fmt::format("Cannot save to \"{}\": {}", path, std::generic_category().message(error)),
            error};
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that `path` names, its symbolic links followed; nullopt (with errno) for a
// loop of links.
std::optional<std::string> FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4095) + 1);
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size())
            return current;
        const std::string link(target.data(), static_cast<std::size_t>(length));
        current = link.starts_with('/') ? link : FolderOf(current) + "/" + link;
    }
    errno = ELOOP;
    return std::nullopt;
}

// Six random letters and digits: unique names also across programs that save at once.
std::string RandomPart() {
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    std::string part(6, ' ');
    for (char& c : part)
        c = kLetters[random() % kLetters.size()];
    return part;
}

// ".<name>.<random>.tmp" beside the target; a long name is shortened (at a character
// boundary) so that the temporary name fits where the target's name fits.
std::string TemporaryName(const std::string& target, bool withName) {
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string suffix = "." + RandomPart() + ".tmp";
    std::string name = withName ? target.substr(folder.size()) : std::string("kantrel");
    const std::size_t room = kMaxNameBytes - 1 - suffix.size();
    if (name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && IsUtf8ContinuationByte(name[cut]))
            --cut;
        name.resize(cut);
    }
    return folder + "." + name + suffix;
}

struct Temporary {
    int fd = -1;
    std::string name;
    int error = 0;
};

Temporary CreateTemporary(const std::string& target, mode_t mode, const FileCalls& calls) {
    bool withName = true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        Temporary t;
        t.name = TemporaryName(target, withName);
        t.fd = calls.open(t.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (t.fd >= 0)
            return t;
        t.error = errno;
        if (t.error == ENAMETOOLONG && withName)
            withName = false; // a file system with shorter names than the usual 255 bytes
        else if (t.error != EEXIST)
            return t;
    }
    return {-1, {}, EEXIST};
}

// Flushes to the disk and closes; the errno of the first failure. EINVAL: the file
// cannot be flushed (a device or pipe), which is no failure of the save.
int SyncClose(int fd, int error, const FileCalls& calls) {
    if (error == 0 && calls.fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    if (calls.close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Puts the rename itself on the disk. A folder we may not open for reading cannot be
// flushed; the file is replaced all the same.
int SyncFolder(const std::string& folder, const FileCalls& calls) {
    const int fd = calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    return SyncClose(fd, 0, calls);
}

// The old file's owner where we may set it (root, or a group we belong to), then its
// permissions, which a change of owner may have narrowed. A file system without
// owners or permissions refuses both; the save goes on.
void KeepOwnerAndMode(int fd, const struct stat& old, const FileCalls& calls) {
    if (calls.fchown(fd, old.st_uid, old.st_gid) != 0)
        calls.fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    calls.fchmod(fd, old.st_mode & 07777);
}

SaveResult WriteInPlace(const std::string& path, const std::string& target, std::string_view bytes,
                        bool regular, const FileCalls& calls) {
    const int fd = calls.open(target.c_str(), O_WRONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return Failure(path, errno);
    const auto size = static_cast<off_t>(bytes.size());
    // Room first: a full disk then fails before the old content is touched.
    if (regular && size > 0 && calls.allocate(fd, 0, size) != 0 && errno != EOPNOTSUPP && errno != EINVAL) {
        const int error = errno;
        calls.close(fd);
        return Failure(path, error);
    }
    int error = WriteAllBytes(fd, bytes, calls);
    if (error == 0 && regular && calls.ftruncate(fd, size) != 0)
        error = errno;
    if ((error = SyncClose(fd, error, calls)) != 0)
        return Failure(path, error);
    return {};
}

SaveResult Replace(const std::string& path, const std::string& target, std::string_view bytes,
                   const struct stat* old, const FileCalls& calls) {
    const Temporary temporary = CreateTemporary(target, old ? (old->st_mode & 0777) : 0666, calls);
    if (temporary.fd < 0) {
        // A folder that lets us write the file but not create one beside it.
        if (old && (temporary.error == EACCES || temporary.error == EPERM))
            return WriteInPlace(path, target, bytes, true, calls);
        return Failure(path, temporary.error);
    }
    if (old)
        KeepOwnerAndMode(temporary.fd, *old, calls);
    if (const int error = SyncClose(temporary.fd, WriteAllBytes(temporary.fd, bytes, calls), calls); error != 0) {
        calls.unlink(temporary.name.c_str());
        return Failure(path, error);
    }
    if (calls.rename(temporary.name.c_str(), target.c_str()) != 0) {
        const int error = errno;
        calls.unlink(temporary.name.c_str());
        return Failure(path, error);
    }
    if (const int error = SyncFolder(FolderOf(target), calls); error != 0)
        return Failure(path, error);
    return {};
}

} // namespace

SaveResult SaveFileReplacing(const std::string& path, std::string_view bytes, const FileCalls& calls) {
    const auto target = FollowLinks(path);
    if (!target)
        return Failure(path, errno);
    struct stat old {};
    if (calls.stat(target->c_str(), &old) != 0) {
        if (errno != ENOENT)
            return Failure(path, errno);
        return Replace(path, *target, bytes, nullptr, calls);
    }
    if (S_ISDIR(old.st_mode))
        return Failure(path, EISDIR);
    // A device or pipe is written as it is: renaming over it would replace it.
    if (!S_ISREG(old.st_mode))
        return WriteInPlace(path, *target, bytes, false, calls);
    // A write-protected file stays protected, although its folder would let us replace it.
    if (calls.access(target->c_str(), W_OK) != 0)
        return Failure(path, errno);
    return Replace(path, *target, bytes, &old, calls);
}

void IgnoreFileSizeLimitSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace kantrel
