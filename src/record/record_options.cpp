#include "record/record_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <functional>
#include <string_view>

#include "device/device_parameters.h"

namespace kantrel::record {

namespace {

// The whole text as one number, or nothing.
template <typename Number> std::optional<Number> ParseWhole(std::string_view text) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    return ParseWhole<std::int64_t>(text);
}

// A number typed by a person: a point or a comma as decimal separator, a leading '+'.
std::optional<double> ParseDecimal(std::string_view text) {
    std::string digits(text);
    std::replace(digits.begin(), digits.end(), ',', '.');
    std::string_view view = digits;
    if (view.starts_with('+'))
        view.remove_prefix(1);
    const auto parsed = ParseWhole<double>(view);
    if (!parsed || !std::isfinite(*parsed))
        return std::nullopt;
    return parsed;
}

std::string RateList() {
    std::string list;
    for (const int ms : kAveragingCounts)
        list += (list.empty() ? "" : ", ") + std::to_string(ms);
    return list;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    ParsedCommandLine Parse() {
        for (next_ = 1; next_ < arguments_.size() && result_.error.empty();) {
            const std::string argument = arguments_[next_++];
            if (!Option(argument) && result_.error.empty())
                Fail("unknown argument: " + argument);
        }
        if (result_.error.empty() && !result_.help && !result_.version)
            CheckCombinations();
        return result_;
    }

private:
    // One option with its value (given as --name=value or as the next argument).
    bool Option(const std::string& argument) {
        const auto equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        std::optional<std::string> inlineValue;
        if (equals != std::string::npos)
            inlineValue = argument.substr(equals + 1);

        RecordOptions& o = result_.options;
        if (name == "--simulate") {
            o.simulate = true;
            if (inlineValue) {
                o.scenarioFile = *inlineValue;
                if (o.scenarioFile.empty())
                    Fail("--simulate= needs a file name");
            }
            return true;
        }
        const struct Flag {
            const char* name;
            const char* shortName;
            std::function<void()> set;
        } flags[] = {
            {"--help", "-h", [&] { result_.help = true; }},
            {"--version", nullptr, [&] { result_.version = true; }},
            {"--fast-clock", nullptr, [&] { o.fastClock = true; }},
            {"--auto", nullptr, [&] { SetMode(RecordMode::Auto); }},
            {"--single", nullptr, [&] { SetMode(RecordMode::Single); }},
            {"--key", nullptr, [&] { SetMode(RecordMode::Key); }},
            {"--zero", nullptr, [&] { o.zero = true; }},
            {"--clear-peak", nullptr, [&] { o.clearPeak = true; }},
            {"--quiet", "-q", [&] { o.quiet = true; }},
        };
        for (const Flag& flag : flags) {
            if (argument == flag.name || (flag.shortName && argument == flag.shortName)) {
                flag.set();
                return true;
            }
        }

        const struct Valued {
            const char* name;
            const char* shortName;
            void (Parser::*set)(const std::string& option, const std::string& value);
        } valued[] = {
            {"--rate", nullptr, &Parser::SetRate},     {"--rate-index", nullptr, &Parser::SetRateIndex},
            {"--count", nullptr, &Parser::SetCount},   {"--duration", nullptr, &Parser::SetDuration},
            {"--out", "-o", &Parser::SetOut},          {"--format", nullptr, &Parser::SetFormat},
            {"--limits", nullptr, &Parser::SetLimits},
        };
        for (const Valued& option : valued) {
            const bool longForm = name == option.name;
            const bool shortForm = option.shortName && argument == option.shortName;
            if (!longForm && !shortForm)
                continue;
            std::string value;
            if (longForm && inlineValue) {
                value = *inlineValue;
            } else if (next_ < arguments_.size()) {
                value = arguments_[next_++];
            } else {
                Fail(std::string(option.name) + " needs a value");
                return true;
            }
            (this->*option.set)(option.name, value);
            return true;
        }
        return false;
    }

    void SetMode(RecordMode mode) {
        if (modeGiven_ && result_.options.mode != mode)
            Fail("choose one of --single, --auto and --key");
        result_.options.mode = mode;
        modeGiven_ = true;
    }

    void SetRate(const std::string& option, const std::string& value) {
        const auto ms = ParseInteger(value);
        const auto* found =
            ms ? std::find(kAveragingCounts.begin(), kAveragingCounts.end(), *ms) : kAveragingCounts.end();
        if (found == kAveragingCounts.end()) {
            Fail(fmt::format("{} takes one of the averaging times {} (ms), not \"{}\"", option, RateList(),
                             value));
            return;
        }
        SetRateIndexValue(static_cast<int>(found - kAveragingCounts.begin()));
    }

    void SetRateIndex(const std::string& option, const std::string& value) {
        const auto index = ParseInteger(value);
        if (!index || *index < 0 || *index >= kSampleRateCount) {
            Fail(fmt::format("{} takes 0 to {}, not \"{}\"", option, kSampleRateCount - 1, value));
            return;
        }
        SetRateIndexValue(static_cast<int>(*index));
    }

    void SetRateIndexValue(int index) {
        if (result_.options.rateIndex && *result_.options.rateIndex != index)
            Fail("give the rate once, with --rate or --rate-index");
        result_.options.rateIndex = index;
    }

    void SetCount(const std::string& option, const std::string& value) {
        const auto count = ParseInteger(value);
        if (!count || *count < 1) {
            Fail(fmt::format("{} takes a number of data sets of 1 or more, not \"{}\"", option, value));
            return;
        }
        result_.options.count = *count;
    }

    void SetDuration(const std::string& option, const std::string& value) {
        // Up to about 30 years: far beyond any run, and safe from overflow in milliseconds.
        constexpr double kMaxSeconds = 1e9;
        const auto seconds = ParseDecimal(value);
        const double ms = seconds ? std::round(*seconds * 1000.0) : 0.0;
        if (!seconds || ms < 1.0 || *seconds > kMaxSeconds) {
            Fail(fmt::format("{} takes a time in seconds of at least 0.001, not \"{}\"", option, value));
            return;
        }
        result_.options.durationMs = static_cast<std::int64_t>(ms);
    }

    void SetOut(const std::string& option, const std::string& value) {
        if (value.empty()) {
            Fail(option + " needs a file name (or - for standard output)");
            return;
        }
        result_.options.outPath = value == "-" ? std::string() : value;
    }

    void SetFormat(const std::string& option, const std::string& value) {
        const struct {
            const char* name;
            OutputFormat format;
        } formats[] = {
            {"tsv", OutputFormat::Tsv}, {"csv", OutputFormat::Csv}, {"jsonl", OutputFormat::Jsonl}};
        for (const auto& f : formats) {
            if (value == f.name) {
                result_.options.format = f.format;
                return;
            }
        }
        Fail(fmt::format("{} takes tsv, csv or jsonl, not \"{}\"", option, value));
    }

    void SetLimits(const std::string& option, const std::string& value) {
        const auto limits = ParseLimits(value);
        if (!limits) {
            Fail(fmt::format("{} takes LOW:HIGH with at least one of the two, LOW not above HIGH, not \"{}\"",
                             option, value));
            return;
        }
        result_.options.limits = *limits;
    }

    void CheckCombinations() {
        const RecordOptions& o = result_.options;
        if (o.fastClock && !o.simulate)
            Fail("--fast-clock needs --simulate");
        else if (o.count && o.mode == RecordMode::Single)
            Fail("--count needs --auto or --key (--single records one data set)");
    }

    void Fail(std::string text) {
        if (result_.error.empty())
            result_.error = std::move(text);
    }

    const std::vector<std::string>& arguments_;
    std::size_t next_ = 1;
    ParsedCommandLine result_;
    bool modeGiven_ = false;
};

} // namespace

std::optional<Limits> ParseLimits(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        return std::nullopt;
    Limits limits;
    const std::string_view low = std::string_view(text).substr(0, colon);
    const std::string_view high = std::string_view(text).substr(colon + 1);
    if (!low.empty() && !(limits.low = ParseDecimal(low)))
        return std::nullopt;
    if (!high.empty() && !(limits.high = ParseDecimal(high)))
        return std::nullopt;
    if (!limits.Any() || (limits.low && limits.high && *limits.low > *limits.high))
        return std::nullopt;
    return limits;
}

ParsedCommandLine ParseRecordCommandLine(const std::vector<std::string>& arguments) {
    return Parser(arguments).Parse();
}

std::string RecordUsageText() {
    return fmt::format(
        "Usage: kantrel731-record [OPTION]...\n"
        "Records data sets of the Tensolog USB instrument without a window and writes them out.\n"
        "\n"
        "Instrument:\n"
        "  --simulate[=FILE]   use the simulated instrument (the built-in scenario, or FILE)\n"
        "  --rate MS           averaging time: {} ms\n"
        "  --rate-index N      the same by its index 0 to {} (default: the setting \"SampleRate\")\n"
        "  --zero              zero the instrument (\"#A03\") and wait until it is done\n"
        "  --clear-peak        clear the peak values (\"#B03\") before recording\n"
        "\n"
        "What to record (one of):\n"
        "  --single            one data set: the next completed mean (default)\n"
        "  --auto              every completed mean\n"
        "  --key               a data set per press of the instrument's key\n"
        "  --count N           end after N data sets (with --auto or --key)\n"
        "  --duration SECONDS  end after so much measuring time\n"
        "  Ctrl+C (SIGINT) or SIGTERM ends the run too; what was recorded is written.\n"
        "\n"
        "Output:\n"
        "  -o, --out FILE      write to FILE (default: standard output)\n"
        "  --format FORMAT     tsv: the data file of the window (its LOAD opens it; default)\n"
        "                      csv: RFC 4180, decimal point, with a verdict column when limits are set\n"
        "                      jsonl: one JSON object per data set, numbers as numbers\n"
        "  --limits LOW:HIGH   judge every Value: PASS, LOW or HIGH; either side may be empty\n"
        "  -q, --quiet         no identification, progress or summary on standard error\n"
        "  -h, --help          show this text and end\n"
        "  --version           show the program version and end\n"
        "\n"
        "Exit codes:\n"
        "  0  done, and every data set within the limits (or no limits given)\n"
        "  1  at least one data set outside the limits\n"
        "  2  usage error\n"
        "  3  instrument not found or not openable\n"
        "  4  the instrument failed during the run (data error, lost connection);\n"
        "     what was recorded is written\n"
        "  5  the output could not be written\n"
        "\n"
        "Without --simulate the instrument is looked for on USB; the environment variable\n"
        "KANTREL731_USB_IDS (e.g. 1234:5678,abcd:0001) names further devices to try.\n",
        RateList(), kSampleRateCount - 1);
}

std::string RecordVersionText() {
    return fmt::format("kantrel731-record {}\n", KANTREL_VERSION);
}

} // namespace kantrel::record
