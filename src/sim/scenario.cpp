#include "sim/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>

#include "settings/ini_file.h"

namespace kantrel::sim {

namespace {

constexpr std::string_view kInstrument = "Instrument";
constexpr std::string_view kSignal = "Signal";
constexpr std::string_view kEvents = "Events";

// Every time of a scenario lies in 0 .. kLatestMs (about 31 years): the instrument adds
// times to its clock and to each other, which must never overflow.
constexpr std::int64_t kLatestMs = 1'000'000'000'000;
// Ends an answer message; a text that held it would end its answer early.
constexpr char kEndOfMessage = '\xA7';
constexpr std::string_view kHoldsEndOfMessage =
    "holds the byte 0xA7, the end mark of an answer (in UTF-8 a part of \"\xC2\xA7\" and \"\xC3\xA7\"), "
    "which an instrument text never holds: ";

struct KnownKeys {
    std::string_view section;
    std::vector<std::string_view> keys;
};
const std::vector<KnownKeys>& Known() {
    static const std::vector<KnownKeys> known = {
        {kInstrument,
         {"present", "firmware", "deviceError", "fullScale", "scaleOffset", "deviceSerial", "nominalValue",
          "param62", "param63", "calibration", "unit", "sensorSerial", "answerDelayMs"}},
        {kSignal, {"shape", "level", "amplitude", "periodMs", "noise", "seed", "file"}},
        {kEvents,
         {"keyPressEveryMs", "keyPressAtMs", "connectionLostAtMs", "silentCommands", "r1StallAtMs",
          "r1StallMs", "r2StallAtMs", "r2StallMs", "s1StallAtMs", "s1StallMs", "faultyCalibration"}},
    };
    return known;
}

// Names each key that the scenario format does not know, as "[Section] key".
std::vector<std::string> UnknownKeys(std::string_view text) {
    std::vector<std::string> unknown;
    const KnownKeys* section = nullptr;
    std::string currentSection;
    std::istringstream lines{std::string(text)};
    for (std::string raw; std::getline(lines, raw);) {
        const std::string_view line = TrimBlanks(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            currentSection = std::string(line.substr(1, line.size() - 2));
            const auto& known = Known();
            const auto it = std::find_if(known.begin(), known.end(), [&](const KnownKeys& k) {
                return EqualsIgnoreCase(k.section, currentSection);
            });
            section = it == known.end() ? nullptr : &*it;
            if (section == nullptr)
                unknown.push_back("[" + currentSection + "]");
            continue;
        }
        const auto equals = line.find('=');
        if (section == nullptr || equals == std::string_view::npos)
            continue;
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        if (std::none_of(section->keys.begin(), section->keys.end(),
                         [&](std::string_view k) { return EqualsIgnoreCase(k, key); }))
            unknown.push_back("[" + currentSection + "] " + std::string(key));
    }
    return unknown;
}

class Reader {
public:
    Reader(const IniFile& ini, std::string& error) : ini_(ini), error_(error) {}

    // The value without a trailing " ; comment"; nullopt when the key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const {
        auto value = ini_.Read(section, key);
        if (!value)
            return std::nullopt;
        for (std::size_t at = value->find(';'); at != std::string::npos; at = value->find(';', at + 1)) {
            if (at > 0 && ((*value)[at - 1] == ' ' || (*value)[at - 1] == '\t')) {
                value->erase(at);
                break;
            }
        }
        return std::string(TrimBlanks(*value));
    }

    void Text(std::string_view section, std::string_view key, std::string& out) const {
        if (auto v = Value(section, key))
            out = *v;
    }

    // A text the instrument sends in an answer.
    void AnswerText(std::string_view section, std::string_view key, std::string& out) {
        const auto v = Value(section, key);
        if (!v)
            return;
        if (v->find(kEndOfMessage) != std::string::npos) {
            Fail(section, key, std::string(kHoldsEndOfMessage) + *v);
            return;
        }
        out = *v;
    }

    template <typename Number> void Read(std::string_view section, std::string_view key, Number& out) {
        const auto v = Value(section, key);
        if (!v || !error_.empty())
            return;
        if (const auto n = ParseNumber<Number>(*v)) {
            out = *n;
        } else {
            Fail(section, key, "not a number: " + *v);
        }
    }

    void Time(std::string_view section, std::string_view key, std::int64_t& out) {
        std::int64_t time = out;
        Read(section, key, time);
        if (CheckTime(section, key, time))
            out = time;
    }

    bool CheckTime(std::string_view section, std::string_view key, std::int64_t time) {
        if (time >= 0 && time <= kLatestMs)
            return true;
        Fail(section, key,
             "must lie between 0 and " + std::to_string(kLatestMs) + " ms: " + std::to_string(time));
        return false;
    }

    void Flag(std::string_view section, std::string_view key, bool& out) {
        int value = out ? 1 : 0;
        Read(section, key, value);
        out = value != 0;
    }

    void Fail(std::string_view section, std::string_view key, const std::string& why) {
        if (error_.empty())
            error_ = "[" + std::string(section) + "] " + std::string(key) + ": " + why;
    }

    template <typename Number> static std::optional<Number> ParseNumber(std::string_view text) {
        text = TrimBlanks(text);
        if (!text.empty() && text[0] == '+')
            text.remove_prefix(1);
        Number value{};
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || ec != std::errc{} || end != text.data() + text.size())
            return std::nullopt;
        // "nan" and "inf" are no measured quantities.
        if constexpr (std::is_floating_point_v<Number>) {
            if (!std::isfinite(value))
                return std::nullopt;
        }
        return value;
    }

private:
    const IniFile& ini_;
    std::string& error_;
};

std::vector<std::string_view> SplitList(std::string_view text) {
    std::vector<std::string_view> items;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = TrimBlanks(text.substr(0, comma));
        if (!item.empty())
            items.push_back(item);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return items;
}

std::optional<std::vector<CalibrationPoint>> ParseCalibration(std::string_view text) {
    std::vector<CalibrationPoint> points;
    for (std::string_view item : SplitList(text)) {
        const auto colon = item.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        const auto input = Reader::ParseNumber<double>(item.substr(0, colon));
        const auto output = Reader::ParseNumber<double>(item.substr(colon + 1));
        if (!input || !output)
            return std::nullopt;
        points.push_back({*input, *output});
    }
    if (points.size() > 5)
        return std::nullopt;
    return points;
}

std::optional<SignalShape> ParseShape(std::string_view text) {
    static const std::pair<std::string_view, SignalShape> kShapes[] = {
        {"constant", SignalShape::Constant}, {"ramp", SignalShape::Ramp}, {"sine", SignalShape::Sine},
        {"steps", SignalShape::Steps},       {"file", SignalShape::File},
    };
    for (const auto& [name, shape] : kShapes)
        if (EqualsIgnoreCase(name, text))
            return shape;
    return std::nullopt;
}

std::string JoinPath(const std::string& folder, const std::string& file) {
    if (file.empty() || file.front() == '/' || folder.empty())
        return file;
    return folder + "/" + file;
}

// Raw counts separated by blanks or line ends.
std::optional<std::vector<std::int16_t>> LoadRawCounts(const std::string& path, std::string& why) {
    std::ifstream in(path);
    if (!in) {
        why = "cannot read " + path;
        return std::nullopt;
    }
    std::vector<std::int16_t> counts;
    for (std::string token; in >> token;) {
        const auto value = Reader::ParseNumber<std::int16_t>(token);
        if (!value) {
            why = "not a raw count in " + path + ": " + token;
            return std::nullopt;
        }
        counts.push_back(*value);
    }
    if (counts.empty()) {
        why = "no raw counts in " + path;
        return std::nullopt;
    }
    return counts;
}

void ReadInstrument(Reader& r, Scenario& s) {
    r.Flag(kInstrument, "present", s.present);
    r.AnswerText(kInstrument, "firmware", s.firmware);
    r.AnswerText(kInstrument, "deviceError", s.deviceError);
    r.Read(kInstrument, "fullScale", s.fullScale);
    r.Read(kInstrument, "scaleOffset", s.scaleOffset);
    r.AnswerText(kInstrument, "deviceSerial", s.deviceSerial);
    r.Read(kInstrument, "nominalValue", s.nominalValue);
    r.Read(kInstrument, "param62", s.param62);
    r.Read(kInstrument, "param63", s.param63);
    if (const auto v = r.Value(kInstrument, "calibration")) {
        if (const auto points = ParseCalibration(*v)) {
            s.calibration = *points;
        } else {
            r.Fail(kInstrument, "calibration", "expected up to five input:output pairs: " + *v);
        }
    }
    r.AnswerText(kInstrument, "unit", s.unit);
    r.AnswerText(kInstrument, "sensorSerial", s.sensorSerial);
    r.Time(kInstrument, "answerDelayMs", s.answerDelayMs);
}

void ReadSignal(Reader& r, Scenario& s, const std::string& baseFolder) {
    if (const auto v = r.Value(kSignal, "shape")) {
        if (const auto shape = ParseShape(*v)) {
            s.shape = *shape;
        } else {
            r.Fail(kSignal, "shape", "expected constant, ramp, sine, steps or file: " + *v);
        }
    }
    r.Read(kSignal, "level", s.level);
    r.Read(kSignal, "amplitude", s.amplitude);
    r.Time(kSignal, "periodMs", s.periodMs);
    if (s.periodMs <= 0)
        r.Fail(kSignal, "periodMs", "must be above 0");
    r.Read(kSignal, "noise", s.noise);
    r.Read(kSignal, "seed", s.seed);
    if (s.shape != SignalShape::File)
        return;
    const auto file = r.Value(kSignal, "file");
    if (!file) {
        r.Fail(kSignal, "file", "missing for shape=file");
        return;
    }
    std::string why;
    if (auto counts = LoadRawCounts(JoinPath(baseFolder, *file), why)) {
        s.rawCounts = std::move(*counts);
    } else {
        r.Fail(kSignal, "file", why);
    }
}

void ReadEvents(Reader& r, Scenario& s) {
    r.Time(kEvents, "keyPressEveryMs", s.keyPressEveryMs);
    if (const auto v = r.Value(kEvents, "keyPressAtMs")) {
        s.keyPressAtMs.clear();
        for (std::string_view item : SplitList(*v)) {
            if (const auto t = Reader::ParseNumber<std::int64_t>(item)) {
                if (r.CheckTime(kEvents, "keyPressAtMs", *t))
                    s.keyPressAtMs.push_back(*t);
            } else {
                r.Fail(kEvents, "keyPressAtMs", "not a time: " + std::string(item));
            }
        }
    }
    if (r.Value(kEvents, "connectionLostAtMs")) {
        std::int64_t at = 0;
        r.Time(kEvents, "connectionLostAtMs", at);
        s.connectionLostAtMs = at;
    }
    if (const auto v = r.Value(kEvents, "silentCommands")) {
        s.silentCommands.clear();
        for (std::string_view item : SplitList(*v))
            s.silentCommands.emplace_back(item);
    }
    r.Time(kEvents, "r1StallAtMs", s.r1Stall.atMs);
    r.Time(kEvents, "r1StallMs", s.r1Stall.durationMs);
    r.Time(kEvents, "r2StallAtMs", s.r2Stall.atMs);
    r.Time(kEvents, "r2StallMs", s.r2Stall.durationMs);
    r.Time(kEvents, "s1StallAtMs", s.s1Stall.atMs);
    r.Time(kEvents, "s1StallMs", s.s1Stall.durationMs);
    r.Flag(kEvents, "faultyCalibration", s.faultyCalibration);
}

} // namespace

Scenario DefaultScenario() {
    Scenario s;
    s.shape = SignalShape::Sine;
    s.level = 400.0;
    s.amplitude = 300.0;
    s.periodMs = 20000;
    s.noise = 1.5;
    s.keyPressEveryMs = 5000;
    return s;
}

ScenarioResult ParseScenario(std::string_view text, const std::string& baseFolder) {
    ScenarioResult result;
    const IniFile ini = IniFile::Parse(text);
    Scenario scenario = DefaultScenario();
    Reader reader(ini, result.error);
    ReadInstrument(reader, scenario);
    ReadSignal(reader, scenario, baseFolder);
    ReadEvents(reader, scenario);
    if (!result.error.empty())
        return result;
    result.warnings = UnknownKeys(text);
    result.scenario = std::move(scenario);
    return result;
}

ScenarioResult LoadScenarioFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ScenarioResult result;
        result.error = "cannot read " + path;
        return result;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    return ParseScenario(bytes.str(), folder);
}

} // namespace kantrel::sim
