#pragma once

// Where the recorded lines go: standard output or a file. Lines are collected and written
// out with Flush (once per processing tick), so that a reader of the file or the pipe sees
// the data sets while the run goes on. The first failure is kept; nothing is written
// after it.

#include <string>
#include <string_view>

namespace kantrel::record {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // path empty: standard output. A file is created, or emptied when it exists.
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }

    void Append(std::string_view bytes) { pending_ += bytes; }
    // Writes what was appended; false once a write has failed.
    bool Flush();
    // Flushes, and for a file also forces it to the disk and closes it.
    bool Close();

    bool Failed() const { return !error_.empty(); }
    // Names the output and the cause of the first failure.
    const std::string& Error() const { return error_; }

private:
    void Fail(int error);

    int fd_ = -1;
    bool ownsFd_ = false;
    std::string name_;
    std::string pending_;
    std::string error_;
};

} // namespace kantrel::record
