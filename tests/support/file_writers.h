#pragma once

// The files the program writes, each written the way the program writes it: the data
// file (SAVE), the settings file (a stored setting) and the language file (a lookup that
// fills it). Tests of safe writing and of faults run against all three, and the calls
// of the writes can be replaced for them (file_calls.h).

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "core/file_calls.h"
#include "support/fake_ports.h"

namespace kantrel::test {

enum class WrittenFile { DataFile, Settings, Language };
std::string NameOf(WrittenFile file);
inline void PrintTo(WrittenFile file, std::ostream* out) {
    *out << NameOf(file);
}

class FileWriter {
public:
    // The file lives in `folder`, which is created (and used as the per-user folder and
    // the working directory).
    FileWriter(WrittenFile file, const std::string& folder);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    const std::string& folder() const { return folder_; }
    const std::string& path() const { return path_; }
    const std::string& oldBytes() const { return oldBytes_; }
    const std::string& newBytes() const { return newBytes_; }
    const std::string& createdBytes() const { return createdBytes_; } // written where no file was

    void PutOldFile() const;
    // Writes once, as the program does; the message the operator got, empty when the
    // write worked. `at` is the file the program is told to write (a link, for example);
    // empty means path().
    std::string Write(const std::string& at = {});

    PortsScope ports;

private:
    WrittenFile file_;
    std::string folder_, path_, oldBytes_, newBytes_, createdBytes_;
    std::unique_ptr<class WriterFolders> folders_;
};

// Installs calls for the whole process while it lives.
class InstalledFileCalls {
public:
    explicit InstalledFileCalls(FileCalls calls) : calls_(std::move(calls)) { SetFileCalls(&calls_); }
    ~InstalledFileCalls() { SetFileCalls(nullptr); }
    InstalledFileCalls(const InstalledFileCalls&) = delete;
    InstalledFileCalls& operator=(const InstalledFileCalls&) = delete;
    FileCalls& calls() { return calls_; }

private:
    FileCalls calls_;
};

// The system's calls, each followed by after(name of the call).
FileCalls CallsWithHook(std::function<void(std::string_view call)> after);

} // namespace kantrel::test
