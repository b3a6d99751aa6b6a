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
#include <string>
#include <string_view>
#include <vector>

#include "core/replace_file.h"

namespace kantrel {

class TMeasData;
struct tDataListArray;

inline constexpr int kListColumnCount = 9;
using ListCaptions = std::array<std::string, kListColumnCount>;

inline constexpr std::string_view kNoValidDataSets = "No valid data sets available";

// The captions of the list once a data set has been listed: "Number", "[Date]", "[Time]",
// "[Diff] = ms", then "[Value]", "[Min]", "[Max]", "[MinFilt]", "[MaxFilt]", each with
// " = " and the unit.
ListCaptions DataSetCaptions(std::string_view unit);
// The header line for the list's captions and the averaging count of sampleRateIndex.
std::string BuildHeaderLine(const ListCaptions& captions, int sampleRateIndex);
// One data line for table row `row`, with `number` in its first field.
std::string FormatDataSetLine(const TMeasData& store, int number, int row);
std::string FormatDataSetLine(std::int64_t number, const tDataListArray& row);
// The fields of a data line after the number, each preceded by its TAB.
void AppendDataSetFields(std::string& line, const tDataListArray& row);
// The header and one line per data set (the header alone when the table is empty).
std::vector<std::string> BuildDataSetLines(const ListCaptions& captions, const TMeasData& store,
                                           int sampleRateIndex);

// Every line followed by CR LF: the bytes of the file and the clipboard text.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

// The save of the data sets: the lines with CR LF into the file at `path`, replacing it
// whole (replace_file.h).
SaveResult SaveDataSetLines(const std::string& path, const std::vector<std::string>& lines,
                            const FileCalls& calls = fileCalls());

} // namespace kantrel
