#pragma once

// The three ways kantrel731-record writes data sets.
//
//   tsv    the data file of the window, byte for byte: a header line with the list
//          captions and "(Nms)", then "number TAB date TAB time TAB ms TAB value TAB min
//          TAB max TAB minAvr TAB maxAvr", CR LF after every line. No verdict: the
//          format is fixed (the window's LOAD reads it).
//   csv    RFC 4180: a header line, comma-separated fields, CR LF, a field quoted when it
//          holds a comma, a quote or a line end. Numbers with a decimal point and
//          without leading blanks.
//          number,timestamp,value,min,max,min_avr,max_avr,unit[,verdict]
//   jsonl  one JSON object per line (LF), numbers as JSON numbers:
//          {"number":1,"timestamp":"2025-12-09T12:00:00.001+01:00","value":255.0,
//           "min":254.9,"max":255.1,"min_avr":255.0,"max_avr":255.0,"unit":"N","verdict":"PASS"}
//
// The value texts are those the window shows and records (FormatValue); csv and jsonl
// carry the same digits with a point. A value text that is not a number (a failed
// conversion shows as "nan") goes into csv as it is and into jsonl as null.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "measure/meas_data.h"
#include "measure/statistics.h"
#include "record/record_options.h"

namespace kantrel::record {

// What the lines of one run have in common.
struct OutputContext {
    OutputFormat format = OutputFormat::Tsv;
    std::string unit;             // UTF-8
    int sampleRateIndex = 6;      // for the tsv header's "(Nms)"
    std::string decimalSeparator; // the regional one, used in the value texts
    bool withVerdict = false;     // limits are set (csv and jsonl)
};

// One recorded data set.
struct OutputDataSet {
    std::int64_t number = 0; // from 1
    const tDataListArray* row = nullptr;
    int utcOffsetSeconds = 0; // of the local time of row->timestamp
    Verdict verdict = Verdict::Pass;
};

// The header with its line end; empty for jsonl.
std::string FormatOutputHeader(const OutputContext& context);
// One data set with its line end.
std::string FormatOutputDataSet(const OutputContext& context, const OutputDataSet& dataSet);

// "2025-12-09T12:00:00.001+01:00": the local date-time (days) with its offset from UTC.
std::string FormatIsoTimestamp(double days, int utcOffsetSeconds);

// Field quoting of RFC 4180 and string escaping of JSON.
std::string CsvField(std::string_view text);
std::string JsonString(std::string_view text);

} // namespace kantrel::record
