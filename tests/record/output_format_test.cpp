// The three output formats of kantrel731-record, line by line.

#include <gtest/gtest.h>

#include "core/date_time.h"
#include "record/output_format.h"

namespace kantrel::record {
namespace {

// 9 December 2025, 12:00:00.042 local time.
const double kNoonAnd42ms = EncodeDateTime({2025, 12, 9, 12, 0, 0, 42});

tDataListArray Row(const char* separator) {
    auto value = [separator](const char* whole, const char* fraction) {
        return std::string(whole) + separator + fraction;
    };
    tDataListArray row;
    row.meanText = value(" 255", "0");
    row.minText = value(" 254", "9");
    row.maxText = value("-255", "1");
    row.minAvrText = value("   0", "0");
    row.maxAvrText = value(" 1", "23457e+06");
    row.rawText = "6019";
    row.dateText = "09.12.2025";
    row.timeText = "12:00:00";
    row.msText = "042";
    row.timestamp = kNoonAnd42ms;
    return row;
}

struct LineCase {
    const char* name;
    OutputFormat format;
    const char* separator;
    bool withVerdict;
    Verdict verdict;
    int utcOffsetSeconds;
    const char* header;
    const char* line;
};

const LineCase kLines[] = {
    {"tsv keeps the regional texts", OutputFormat::Tsv, ",", true, Verdict::High, 3600,
     "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = N\t[MaxFilt] = N\t"
     "(100ms)\r\n",
     "7\t09.12.2025\t12:00:00\t042\t 255,0\t 254,9\t-255,1\t   0,0\t 1,23457e+06\r\n"},
    {"csv with a point and without blanks", OutputFormat::Csv, ",", false, Verdict::Pass, 3600,
     "number,timestamp,value,min,max,min_avr,max_avr,unit\r\n",
     "7,2025-12-09T12:00:00.042+01:00,255.0,254.9,-255.1,0.0,1.23457e+06,N\r\n"},
    {"csv with the verdict", OutputFormat::Csv, ".", true, Verdict::Low, -5 * 3600 - 1800,
     "number,timestamp,value,min,max,min_avr,max_avr,unit,verdict\r\n",
     "7,2025-12-09T12:00:00.042-05:30,255.0,254.9,-255.1,0.0,1.23457e+06,N,LOW\r\n"},
    {"jsonl with numbers as numbers", OutputFormat::Jsonl, ",", false, Verdict::Pass, 0, "",
     "{\"number\":7,\"timestamp\":\"2025-12-09T12:00:00.042+00:00\",\"value\":255.0,\"min\":254.9,"
     "\"max\":-255.1,\"min_avr\":0.0,\"max_avr\":1.23457e+06,\"unit\":\"N\"}\n"},
    {"jsonl with the verdict", OutputFormat::Jsonl, ".", true, Verdict::Invalid, 7200, "",
     "{\"number\":7,\"timestamp\":\"2025-12-09T12:00:00.042+02:00\",\"value\":255.0,\"min\":254.9,"
     "\"max\":-255.1,\"min_avr\":0.0,\"max_avr\":1.23457e+06,\"unit\":\"N\",\"verdict\":\"INVALID\"}\n"},
};

TEST(OutputFormat, HeaderAndLineOfEachFormat) {
    for (const LineCase& c : kLines) {
        SCOPED_TRACE(c.name);
        const OutputContext context{c.format, "N", 6, c.separator, c.withVerdict};
        const tDataListArray row = Row(c.separator);
        EXPECT_EQ(FormatOutputHeader(context), c.header);
        EXPECT_EQ(FormatOutputDataSet(context, {7, &row, c.utcOffsetSeconds, c.verdict}), c.line);
    }
}

TEST(OutputFormat, ValueThatIsNoNumberStaysTextInCsvAndIsNullInJson) {
    tDataListArray row = Row(".");
    row.meanText = "   nan";
    row.maxText = "  -inf";
    const OutputDataSet d{1, &row, 0, Verdict::Invalid};
    EXPECT_EQ(FormatOutputDataSet({OutputFormat::Csv, "N", 6, ".", true}, d),
              "1,2025-12-09T12:00:00.042+00:00,   nan,254.9,  -inf,0.0,1.23457e+06,N,INVALID\r\n");
    EXPECT_EQ(FormatOutputDataSet({OutputFormat::Jsonl, "N", 6, ".", false}, d),
              "{\"number\":1,\"timestamp\":\"2025-12-09T12:00:00.042+00:00\",\"value\":null,\"min\":254.9,"
              "\"max\":null,\"min_avr\":0.0,\"max_avr\":1.23457e+06,\"unit\":\"N\"}\n");
}

TEST(OutputFormat, UnitTextsAreQuotedAndEscaped) {
    const tDataListArray row = Row(".");
    const struct {
        const char* unit;
        const char* csvUnit;
        const char* jsonUnit;
    } cases[] = {
        {"kN", "kN", "\"kN\""},
        {"N,m", "\"N,m\"", "\"N,m\""},
        {"\"x\"", "\"\"\"x\"\"\"", "\"\\\"x\\\"\""},
        {"a\\b", "a\\b", "\"a\\\\b\""},
        {"\xC2\xB5m", "\xC2\xB5m", "\"\xC2\xB5m\""},
        // A unit in the instrument's single-byte code page becomes UTF-8 in JSON.
        {"\xB5m", "\xB5m", "\"\xC2\xB5m\""},
        {"x\ty\x01", "x\ty\x01", "\"x\\ty\\u0001\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        const std::string csv = FormatOutputDataSet({OutputFormat::Csv, c.unit, 6, ".", false}, {1, &row, 0});
        EXPECT_EQ(csv.substr(csv.rfind("06,") + 3), std::string(c.csvUnit) + "\r\n");
        const std::string json =
            FormatOutputDataSet({OutputFormat::Jsonl, c.unit, 6, ".", false}, {1, &row, 0});
        EXPECT_EQ(json.substr(json.find("\"unit\":") + 7), std::string(c.jsonUnit) + "}\n");
    }
}

TEST(OutputFormat, CsvFieldsFollowRfc4180) {
    const struct {
        const char* text;
        const char* field;
    } cases[] = {
        {"12:00:00", "12:00:00"}, {"9.12.2025", "9.12.2025"},           {"Dec 9, 2025", "\"Dec 9, 2025\""},
        {"a\"b", "\"a\"\"b\""},   {"two\r\nlines", "\"two\r\nlines\""}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

TEST(OutputFormat, IsoTimestampWithItsOffset) {
    EXPECT_EQ(FormatIsoTimestamp(kNoonAnd42ms, 0), "2025-12-09T12:00:00.042+00:00");
    EXPECT_EQ(FormatIsoTimestamp(kNoonAnd42ms, 3600), "2025-12-09T12:00:00.042+01:00");
    EXPECT_EQ(FormatIsoTimestamp(kNoonAnd42ms, 5 * 3600 + 45 * 60), "2025-12-09T12:00:00.042+05:45");
    EXPECT_EQ(FormatIsoTimestamp(kNoonAnd42ms, -9 * 3600 - 30 * 60), "2025-12-09T12:00:00.042-09:30");
    // The millisecond rounds as the row's "Diff" field does.
    EXPECT_EQ(FormatIsoTimestamp(EncodeDateTime({2025, 12, 31, 23, 59, 59, 999}) + 0.4 * kOneMillisecond, 0),
              "2025-12-31T23:59:59.999+00:00");
}

} // namespace
} // namespace kantrel::record
