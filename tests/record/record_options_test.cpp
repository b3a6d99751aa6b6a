// The command line of kantrel731-record.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "record/record_options.h"

namespace kantrel::record {
namespace {

ParsedCommandLine Parse(const std::string& line) {
    std::vector<std::string> args = {"kantrel731-record"};
    std::istringstream words(line);
    for (std::string word; words >> word;)
        args.push_back(word);
    return ParseRecordCommandLine(args);
}

TEST(RecordOptions, DefaultsWithoutArguments) {
    const ParsedCommandLine parsed = Parse("");
    ASSERT_EQ(parsed.error, "");
    const RecordOptions& o = parsed.options;
    EXPECT_FALSE(o.simulate);
    EXPECT_FALSE(o.rateIndex); // the setting "SampleRate" decides
    EXPECT_EQ(o.mode, RecordMode::Single);
    EXPECT_FALSE(o.count);
    EXPECT_FALSE(o.durationMs);
    EXPECT_EQ(o.outPath, ""); // standard output
    EXPECT_EQ(o.format, OutputFormat::Tsv);
    EXPECT_FALSE(o.limits.Any());
    EXPECT_FALSE(o.quiet);
    EXPECT_FALSE(o.fastClock);
}

TEST(RecordOptions, ValuesInBothSpellings) {
    struct Case {
        const char* line;
        std::function<void(const RecordOptions&)> check;
    };
    const Case cases[] = {
        {"--simulate",
         [](const RecordOptions& o) {
             EXPECT_TRUE(o.simulate);
             EXPECT_EQ(o.scenarioFile, "");
         }},
        {"--simulate=bench.ini", [](const RecordOptions& o) { EXPECT_EQ(o.scenarioFile, "bench.ini"); }},
        {"--rate 1", [](const RecordOptions& o) { EXPECT_EQ(o.rateIndex, 0); }},
        {"--rate=10000", [](const RecordOptions& o) { EXPECT_EQ(o.rateIndex, 12); }},
        {"--rate 500", [](const RecordOptions& o) { EXPECT_EQ(o.rateIndex, 8); }},
        {"--rate-index 6", [](const RecordOptions& o) { EXPECT_EQ(o.rateIndex, 6); }},
        {"--rate 100 --rate-index 6", [](const RecordOptions& o) { EXPECT_EQ(o.rateIndex, 6); }},
        {"--auto", [](const RecordOptions& o) { EXPECT_EQ(o.mode, RecordMode::Auto); }},
        {"--key", [](const RecordOptions& o) { EXPECT_EQ(o.mode, RecordMode::Key); }},
        {"--single --single", [](const RecordOptions& o) { EXPECT_EQ(o.mode, RecordMode::Single); }},
        {"--auto --count 250", [](const RecordOptions& o) { EXPECT_EQ(o.count, 250); }},
        {"--duration 10", [](const RecordOptions& o) { EXPECT_EQ(o.durationMs, 10000); }},
        {"--duration=2.5", [](const RecordOptions& o) { EXPECT_EQ(o.durationMs, 2500); }},
        {"--duration 0,25", [](const RecordOptions& o) { EXPECT_EQ(o.durationMs, 250); }},
        {"--duration 0.001", [](const RecordOptions& o) { EXPECT_EQ(o.durationMs, 1); }},
        {"--zero --clear-peak", [](const RecordOptions& o) { EXPECT_TRUE(o.zero && o.clearPeak); }},
        {"--out data.txt", [](const RecordOptions& o) { EXPECT_EQ(o.outPath, "data.txt"); }},
        {"-o data.txt", [](const RecordOptions& o) { EXPECT_EQ(o.outPath, "data.txt"); }},
        {"--out -", [](const RecordOptions& o) { EXPECT_EQ(o.outPath, ""); }},
        {"--format csv", [](const RecordOptions& o) { EXPECT_EQ(o.format, OutputFormat::Csv); }},
        {"--format=jsonl", [](const RecordOptions& o) { EXPECT_EQ(o.format, OutputFormat::Jsonl); }},
        {"--limits 250:260",
         [](const RecordOptions& o) {
             EXPECT_EQ(o.limits.low, 250);
             EXPECT_EQ(o.limits.high, 260);
         }},
        {"-q", [](const RecordOptions& o) { EXPECT_TRUE(o.quiet); }},
        {"--simulate --fast-clock", [](const RecordOptions& o) { EXPECT_TRUE(o.fastClock); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ParsedCommandLine parsed = Parse(c.line);
        ASSERT_EQ(parsed.error, "");
        c.check(parsed.options);
    }
}

TEST(RecordOptions, HelpAndVersion) {
    EXPECT_TRUE(Parse("--help").help);
    EXPECT_TRUE(Parse("-h").help);
    EXPECT_TRUE(Parse("--version").version);
    // Asking for help is no usage error, whatever else the line holds.
    EXPECT_EQ(Parse("--count 5 --help").error, "");
    EXPECT_EQ(RecordVersionText(), "kantrel731-record " KANTREL_VERSION "\n");
}

TEST(RecordOptions, UsageErrorsSayWhatIsWrong) {
    struct Case {
        const char* line;
        const char* errorPart;
    };
    const Case cases[] = {
        {"--rate 3", "1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000"},
        {"--rate fast", "--rate takes"},
        {"--rate", "--rate needs a value"},
        {"--rate-index 13", "0 to 12"},
        {"--rate-index -1", "0 to 12"},
        {"--rate 1 --rate-index 6", "once"},
        {"--auto --key", "choose one"},
        {"--single --auto", "choose one"},
        {"--count 0 --auto", "1 or more"},
        {"--count 2.5 --auto", "1 or more"},
        {"--count 3", "--count needs --auto or --key"},
        {"--duration 0", "at least 0.001"},
        {"--duration -1", "at least 0.001"},
        {"--duration 0.0004", "at least 0.001"},
        {"--duration inf", "at least 0.001"},
        {"--duration 10s", "at least 0.001"},
        {"--format xml", "tsv, csv or jsonl"},
        {"--limits 260:250", "LOW not above HIGH"},
        {"--limits :", "at least one"},
        {"--limits 250", "LOW:HIGH"},
        {"--out=", "file name"},
        {"--simulate=", "needs a file name"},
        {"--fast-clock", "--fast-clock needs --simulate"},
        {"--zero=1", "unknown argument: --zero=1"},
        {"data.txt", "unknown argument: data.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string error = Parse(c.line).error;
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
}

TEST(RecordOptions, LimitsEitherSideMayBeEmpty) {
    struct Case {
        const char* text;
        std::optional<double> low, high;
        bool valid;
    };
    const Case cases[] = {
        {"250:260", 250.0, 260.0, true},
        {"-5.5:5.5", -5.5, 5.5, true},
        {"1,5:2,5", 1.5, 2.5, true},
        {"+1:2", 1.0, 2.0, true},
        {":260", std::nullopt, 260.0, true},
        {"250:", 250.0, std::nullopt, true},
        {"7:7", 7.0, 7.0, true},
        {":", std::nullopt, std::nullopt, false},
        {"", std::nullopt, std::nullopt, false},
        {"1:2:3", std::nullopt, std::nullopt, false},
        {"a:2", std::nullopt, std::nullopt, false},
        {"1:nan", std::nullopt, std::nullopt, false},
        {"1 :2", std::nullopt, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto limits = ParseLimits(c.text);
        ASSERT_EQ(limits.has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(limits->low, c.low);
            EXPECT_EQ(limits->high, c.high);
        }
    }
}

TEST(RecordOptions, HelpListsEveryOptionAndExitCode) {
    const std::string usage = RecordUsageText();
    for (const char* text : {"--simulate[=FILE]",
                             "--rate MS",
                             "--rate-index N",
                             "--zero",
                             "--clear-peak",
                             "--single",
                             "--auto",
                             "--key",
                             "--count N",
                             "--duration SECONDS",
                             "--out FILE",
                             "--format",
                             "--limits LOW:HIGH",
                             "--quiet",
                             "SIGINT",
                             "Exit codes",
                             "  0  done",
                             "  1  at least one",
                             "  2  usage",
                             "  3  instrument not found",
                             "  4  the instrument failed",
                             "  5  the output"})
        EXPECT_NE(usage.find(text), std::string::npos) << text;
    // The test option is not offered.
    EXPECT_EQ(usage.find("--fast-clock"), std::string::npos);
}

} // namespace
} // namespace kantrel::record
