#pragma once

// The data file: TAB-separated text, UTF-8 without byte-order mark, CR LF after every
// line, the last one included.
//
//   line 1    caption 0 TAB ... TAB caption 8 TAB "(" N "ms)"     N = averaging count
//   line 2..  number TAB date TAB time TAB ms TAB value TAB min TAB max TAB minAvr TAB maxAvr
//
// Data lines run from the oldest data set to the newest, numbered from 1 without gaps,
// also when the table has wrapped around. Field texts are copied as recorded (value
// texts keep their leading blanks); nothing is quoted or validated.

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kantrel {

class TMeasData;

inline constexpr int kListColumnCount = 9;
using ListCaptions = std::array<std::string, kListColumnCount>;

inline constexpr std::string_view kNoValidDataSets = "No valid data sets available";

// The header line for the list's captions and the averaging count of sampleRateIndex.
std::string BuildHeaderLine(const ListCaptions& captions, int sampleRateIndex);
// One data line for table row `row`, with `number` in its first field.
std::string FormatDataSetLine(const TMeasData& store, int number, int row);
// The header and one line per data set (the header alone when the table is empty).
std::vector<std::string> BuildDataSetLines(const ListCaptions& captions, const TMeasData& store,
                                           int sampleRateIndex);

// Every line followed by CR LF: the bytes of the file and the clipboard text.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

// The system calls of a save, replaceable so that tests can make one fail part-way or
// act as a user without the rights that root has.
struct FileCalls {
    std::function<int(const char* path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
    std::function<int(const char* path, int mode)> access;
    static FileCalls System();
};

struct SaveResult {
    bool ok = true;
    std::string error; // names the file and the cause
    explicit operator bool() const { return ok; }
};

// Writes the bytes to a new file beside the target and renames it over the target only
// when everything was written, so that a failed save leaves an existing file as it was.
// Where no file can be created in that folder but the target itself is writable, the
// target is overwritten in place.
SaveResult SaveFileReplacing(const std::string& path, std::string_view bytes,
                             const FileCalls& calls = FileCalls::System());

// The save of the data sets: the lines with CR LF into the file at `path`.
SaveResult SaveDataSetLines(const std::string& path, const std::vector<std::string>& lines,
                            const FileCalls& calls = FileCalls::System());

} // namespace kantrel
