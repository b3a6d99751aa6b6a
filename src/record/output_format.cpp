#include "record/output_format.h"

#include <array>
#include <cstdlib>
#include <fmt/format.h>

#include "core/date_time.h"
#include "core/text_encoding.h"
#include "core/value_text.h"
#include "files/data_file_writer.h"

namespace kantrel::record {

namespace {

struct NamedValue {
    const char* name;
    const std::string tDataListArray::*text;
};
constexpr std::array<NamedValue, 5> kValues = {{
    {"value", &tDataListArray::meanText},
    {"min", &tDataListArray::minText},
    {"max", &tDataListArray::maxText},
    {"min_avr", &tDataListArray::minAvrText},
    {"max_avr", &tDataListArray::maxAvrText},
}};

std::string CsvHeader(const OutputContext& context) {
    std::string header = "number,timestamp";
    for (const NamedValue& v : kValues)
        header += std::string(",") + v.name;
    header += ",unit";
    if (context.withVerdict)
        header += ",verdict";
    return header + "\r\n";
}

std::string CsvLine(const OutputContext& context, const OutputDataSet& d) {
    const tDataListArray& row = *d.row;
    std::string line = fmt::format("{},{}", d.number, FormatIsoTimestamp(row.timestamp, d.utcOffsetSeconds));
    for (const NamedValue& v : kValues) {
        const std::string& text = row.*v.text;
        const auto number = ReadValueText(text, context.decimalSeparator);
        line += ',';
        line += number ? number->plain : CsvField(text);
    }
    line += ',' + CsvField(context.unit);
    if (context.withVerdict)
        line += fmt::format(",{}", VerdictText(d.verdict));
    return line + "\r\n";
}

std::string JsonLine(const OutputContext& context, const OutputDataSet& d) {
    const tDataListArray& row = *d.row;
    std::string line = fmt::format("{{\"number\":{},\"timestamp\":\"{}\"", d.number,
                                   FormatIsoTimestamp(row.timestamp, d.utcOffsetSeconds));
    for (const NamedValue& v : kValues) {
        const auto number = ReadValueText(row.*v.text, context.decimalSeparator);
        fmt::format_to(std::back_inserter(line), ",\"{}\":{}", v.name, number ? number->plain : "null");
    }
    line += ",\"unit\":" + JsonString(context.unit);
    if (context.withVerdict)
        fmt::format_to(std::back_inserter(line), ",\"verdict\":\"{}\"", VerdictText(d.verdict));
    return line + "}\n";
}

} // namespace

std::string FormatOutputHeader(const OutputContext& context) {
    switch (context.format) {
    case OutputFormat::Tsv:
        return BuildHeaderLine(DataSetCaptions(context.unit), context.sampleRateIndex) + "\r\n";
    case OutputFormat::Csv:
        return CsvHeader(context);
    case OutputFormat::Jsonl:
        break;
    }
    return {};
}

std::string FormatOutputDataSet(const OutputContext& context, const OutputDataSet& dataSet) {
    switch (context.format) {
    case OutputFormat::Tsv:
        return FormatDataSetLine(dataSet.number, *dataSet.row) + "\r\n";
    case OutputFormat::Csv:
        return CsvLine(context, dataSet);
    case OutputFormat::Jsonl:
        break;
    }
    return JsonLine(context, dataSet);
}

std::string FormatIsoTimestamp(double days, int utcOffsetSeconds) {
    const CivilDateTime t = DecodeDateTime(days);
    const int offsetMinutes = std::abs(utcOffsetSeconds) / 60;
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}{}{:02}:{:02}", t.year, t.month, t.day,
                       t.hour, t.minute, t.second, t.millisecond, utcOffsetSeconds < 0 ? '-' : '+',
                       offsetMinutes / 60, offsetMinutes % 60);
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string JsonString(std::string_view text) {
    // JSON is UTF-8: a text of the instrument in a single-byte code page is converted.
    const std::string utf8 = DecodeTextFile(text);
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                fmt::format_to(std::back_inserter(out), "\\u{:04x}", static_cast<unsigned char>(c));
            else
                out += c;
        }
    }
    return out + '"';
}

} // namespace kantrel::record
