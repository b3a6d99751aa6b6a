#pragma once

// The data file read back, positionally and tolerantly, as a stream: memory stays bounded
// by the table (10240 rows) whatever the size of the file. Valid UTF-8 sequences are read
// as UTF-8 and every other byte as Windows-1252; a byte-order mark in front of the first
// word is skipped; CR LF and LF both end a line.
//
// Two reading units (data_file_scanner.h):
//   word       whitespace (blanks, TABs, line ends) skipped, then everything up to the
//              next whitespace; empty at the end of the file; at most 255 characters
//   TAB field  everything up to the next TAB, which is consumed; at most 49 characters,
//              blanks and line ends included
// A longer word or field is a read failure that ends the rows.
//
// Header: the first word must be "Number"; words 2 to 21 become the captions of list
// columns 1 to 8 (the words of one caption joined without blanks), word 22 (the
// averaging field) is skipped. Then per row: number word, a TAB field that is skipped
// (the rest behind the number), date and time as TAB fields, the milliseconds word and
// the five value words. Only the first word and the shape of the fields are checked:
// a short line shifts every field after it.
//
// The first row's number is the base: a row numbered n goes to table index n - base. A
// row whose index lies outside the table, whose number lies outside the 32-bit range, or
// that comes when the table already holds 10240 rows is skipped and counted.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/data_file_scanner.h"
#include "files/data_file_writer.h"

namespace kantrel {

class RegionalSettings;
class TMeasData;

inline constexpr int kSeriesCount = 5; // value, min, max, min averaged, max averaged
inline constexpr int kMaxTabFieldChars = 49;
inline constexpr int kMaxWordChars = 255;

inline constexpr std::string_view kFileNotFound = "File not found";
inline constexpr std::string_view kUnknownFileFormat = "unknown file format";

struct DataFileReadOptions {
    int graficMode = 0; // 0 number, 1 time, 2 time with lines
    std::array<bool, kSeriesCount> seriesChecked{true, true, true, true, true};
    // The regional separator and date/time formats; null takes the process's ports.
    const RegionalSettings* regional = nullptr;
    // Told the number of bytes read so far, after every piece of the file.
    std::function<void(std::uint64_t bytesRead)> progress;
};

// One row of the list as the reader produced it.
struct LoadedRow {
    std::string numberText;            // empty: a blank list row
    std::vector<std::string> subItems; // date, time, ms, value, min, max, min avr., max avr.
    int number = 0;
    int index = -1;                  // table index; -1 when the row is not stored
    bool drawn = false;              // its points are in `points`
    double xNumber = 0.0;            // x in chart mode "number"
    std::optional<double> xSeconds;  // x in the time modes, from the first drawn row
    std::optional<double> timestamp; // date-time of date, time and ms, when they can be read
};

struct LoadedPoint {
    int slot; // 0 value, 1 min, 2 max, 3 min averaged, 4 max averaged
    double x, y;
};

enum class DataFileStop {
    EndOfFile,       // read to the end
    FileNotFound,    // could not be opened or not read at all
    UnknownFormat,   // the first word is not "Number" (an empty file too)
    FieldTooLong,    // a TAB field or word longer than its limit ended the rows
    ReadError,       // the file could not be read to its end; the rows before it stay
    ConversionError, // a number, value or date that cannot be converted stopped the load
};

struct DataFileContent {
    DataFileStop stop = DataFileStop::EndOfFile;
    ListCaptions captions; // [0] stays empty: column 0 keeps its caption
    std::vector<LoadedRow> rows;
    std::vector<LoadedPoint> points; // in the order they are drawn
    int storedRows = 0;
    std::int64_t skippedRows = 0; // rows that do not fit into the table
    std::int64_t stopLine = 0;    // line of the failure (1 = header)
    std::string errorText;

    bool HasHeader() const {
        return stop != DataFileStop::FileNotFound && stop != DataFileStop::UnknownFormat;
    }
    // A conversion error ends the load before the list is scrolled and the chart zoomed.
    bool Completed() const { return HasHeader() && stop != DataFileStop::ConversionError; }
    const std::string& ValueAxisTitle() const { return captions[4]; }
};

// The content read from a source of bytes.
DataFileContent ReadDataFile(ByteSource& source, const DataFileReadOptions& options);
// The same for bytes in memory and for a file.
DataFileContent ParseDataFile(std::string_view bytes, const DataFileReadOptions& options);
DataFileContent LoadDataFile(const std::string& path, const DataFileReadOptions& options);

// Stores the rows in the table at their indices and advances the table position once per
// stored row. The caller has emptied the table first.
void ApplyToStore(const DataFileContent& content, TMeasData& store);

struct LoadMessage {
    std::string text;
    std::string_view caption;
};
// What the operator is told after the load, in order (nothing for a clean load).
std::vector<LoadMessage> LoadMessages(const DataFileContent& content);

} // namespace kantrel
