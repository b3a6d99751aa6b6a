#include "files/recording_retention.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/recording_file.h"

namespace kantrel {

std::vector<std::string> ChooseRecordingsToRemove(std::vector<RecordingOnDisk> files,
                                                  const RetentionLimits& limits) {
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::string> removed;
    std::uint64_t total = 0;
    for (const RecordingOnDisk& file : files)
        total += file.bytes;
    for (const RecordingOnDisk& file : files) {
        if (file.inUse)
            continue;
        const bool tooOld = limits.keepDays > 0 && file.ageDays > limits.keepDays;
        const bool overSize = limits.maxBytes > 0 && total > limits.maxBytes;
        if (!tooOld && !overSize)
            continue;
        removed.push_back(file.name);
        total -= file.bytes;
    }
    return removed;
}

bool RecordingInUse(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

namespace {

std::vector<RecordingOnDisk> ListRecordings(const std::string& folder, const std::set<std::string>& keep) {
    std::vector<RecordingOnDisk> files;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return files;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsRecordingFileName(name))
            continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const double ageDays = static_cast<double>(now - info.st_mtime) / 86400.0;
        files.push_back({name, static_cast<std::uint64_t>(info.st_size), ageDays,
                         keep.contains(name) || RecordingInUse(path)});
    }
    ::closedir(dir);
    return files;
}

} // namespace

int TrimRecordings(const std::string& folder, const RetentionLimits& limits,
                   const std::set<std::string>& keep) {
    if (limits.maxBytes == 0 && limits.keepDays <= 0)
        return 0;
    int removed = 0;
    for (const std::string& name : ChooseRecordingsToRemove(ListRecordings(folder, keep), limits))
        removed += ::unlink((folder + "/" + name).c_str()) == 0 ? 1 : 0;
    return removed;
}

} // namespace kantrel
