#pragma once

// One recording of the flight recorder: a data file that grows while data sets are
// measured. It is the data file as SAVE writes it (header, then data lines numbered from
// 1), so LOAD and a spreadsheet open it as it is:
//
//   recording-2025-12-09_12-00-00-000.txt      named after its first data set's time,
//                                               so that names sort by start time;
//   recording-2025-12-09_12-00-00-000_02.txt    a second file started in the same ms
//
// Lines are appended whole: when a write fails part-way, the file is cut back to its
// last complete line, so a reader never meets a torn line in the middle. While the file
// is being written it holds an exclusive lock (flock), which tells other processes that
// it is in use.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "core/file_calls.h"
#include "files/data_file_writer.h"

namespace kantrel {

inline constexpr std::string_view kRecordingPrefix = "recording-";
inline constexpr std::string_view kRecordingExtension = ".txt";

// $XDG_DATA_HOME/kantrel731/recordings, else $HOME/.local/share/kantrel731/recordings;
// nullopt when neither is set.
std::optional<std::string> RecordingsFolder();

// The name of a recording whose first data set was taken at startTime (days since
// 30 December 1899); attempt 2, 3, ... for a name that is taken already.
std::string RecordingFileName(double startTime, int attempt = 1);
bool IsRecordingFileName(std::string_view name);

// Creates the folder and its missing parents: 0, or the errno of the failure.
int MakeFolders(const std::string& path, const FileCalls& calls);
// Flushes the folder's entries (a new file's name) to the disk: 0 or an errno.
int SyncFolder(const std::string& path, const FileCalls& calls);

class RecordingFile {
public:
    struct Created;
    // A new recording in `folder` for data sets from startTime on, with its header line.
    static Created Create(const std::string& folder, double startTime, const std::string& header,
                          const FileCalls& calls);

    RecordingFile(RecordingFile&& other) noexcept;
    RecordingFile& operator=(RecordingFile&& other) noexcept;
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;
    ~RecordingFile();

    // Appends whole lines (`lines` of them): 0, or the errno of the failure, after which
    // the file ends with its last complete line again.
    int Append(std::string_view bytes, std::int64_t lines);
    int Sync(); // 0 or an errno
    void Close();

    const std::string& name() const { return name_; }
    const std::string& header() const { return header_; }
    std::int64_t dataLines() const { return dataLines_; }
    std::uint64_t bytes() const { return bytes_; }

private:
    RecordingFile(int fd, std::string name, std::string header, const FileCalls& calls);

    int fd_ = -1;
    std::string name_;
    std::string header_;
    std::int64_t dataLines_ = 0;
    std::uint64_t bytes_ = 0;
    const FileCalls* calls_ = nullptr;
};

struct RecordingFile::Created {
    std::optional<RecordingFile> file;
    int error = 0;    // when no file was created
    std::string path; // the file, or the one that could not be created
};

} // namespace kantrel
