// The real kantrel731-record on the simulated instrument. Its hidden --fast-clock makes the
// instrument's clock run as fast as the program takes its data, so no test waits on the
// wall clock; real time is only ever a limit.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "device/device_parameters.h"
#include "files/data_file_reader.h"
#include "measure/format_value.h"
#include "platform/posix_regional_settings.h"
#include "record/record_options.h"
#include "sim/scenario.h"
#include "sim/signal.h"
#include "support/test_environment.h"

extern char** environ;

namespace kantrel::record {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(60);

struct Finished {
    int exitCode = -1; // -1: ended by a signal or not at all
    std::string out, err;
};

// One start of the program: standard output and error go to files of their own.
class Program {
public:
    explicit Program(std::vector<std::string> args, std::vector<std::string> env = {"LC_ALL=C", "TZ=UTC"},
                     int stderrFd = -1) {
        static int runs = 0;
        const std::string stem = "run" + std::to_string(++runs);
        outPath_ = stem + ".out";
        errPath_ = stem + ".err";
        args.insert(args.begin(), KANTREL_RECORD_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("LC_") && !entry.starts_with("LANG") && !entry.starts_with("TZ="))
                environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (stderrFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    Finished Wait() {
        Finished f;
        const auto giveUpAt = Clock::now() + kPatience;
        while (pid_ > 0 && Clock::now() < giveUpAt) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                if (WIFEXITED(status))
                    f.exitCode = WEXITSTATUS(status);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        f.out = ReadFileBytes(outPath_);
        f.err = ReadFileBytes(errPath_);
        return f;
    }

    // Waits until the file holds at least `lines` line ends.
    bool WaitForLines(const std::string& path, std::size_t lines) {
        const auto giveUpAt = Clock::now() + kPatience;
        while (Clock::now() < giveUpAt) {
            const std::string text = ReadFileBytes(path);
            if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    void Signal(int signal) { ::kill(pid_, signal); }

private:
    pid_t pid_ = -1;
    std::string outPath_, errPath_;
};

Finished RunProgram(std::vector<std::string> args, std::vector<std::string> env = {"LC_ALL=C", "TZ=UTC"}) {
    return Program(std::move(args), std::move(env)).Wait();
}

// A quiet instrument: a constant value, no key presses, calibration 0:0 500:510 1000:1000.
std::string WriteScenario(const std::string& name,
                          const std::string& signal = "shape = constant\nlevel = 250\n",
                          const std::string& events = "", const std::string& instrument = "") {
    WriteFileBytes((std::filesystem::current_path() / name).string(),
                   "[Instrument]\ncalibration = 0:0, 500:510, 1000:1000\n" + instrument +
                       "[Signal]\nnoise = 0\n" + signal + "[Events]\nkeyPressEveryMs = 0\n" + events);
    return "--simulate=" + name;
}

// The value text the window shows for a constant level of that scenario.
std::string ExpectedValueText(const std::string& scenarioFile, double level, const char* separator = ".") {
    const sim::Scenario s = *sim::LoadScenarioFile(scenarioFile).scenario;
    DeviceParameters p;
    p.fullScale = s.fullScale;
    p.scaleOffset = s.scaleOffset;
    p.nominalValue = s.nominalValue;
    p.calPointCount = static_cast<std::uint8_t>(s.calibration.size());
    for (std::size_t i = 0; i < s.calibration.size(); ++i) {
        p.calInput[i] = s.calibration[i].input;
        p.calOutput[i] = s.calibration[i].output;
    }
    const double value = ApplyCalibration(RawToScaled(sim::ValueToRaw(s, level), p), p).value;
    return FormatValue(value, p.nominalValue, false, separator);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + separator.size())
        parts.push_back(text.substr(from, at - from));
    if (from < text.size())
        parts.push_back(text.substr(from));
    return parts;
}

// A field of a JSON line, as its text ("12", "255.0", "\"PASS\"").
std::string JsonField(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const auto at = line.find(key);
    if (at == std::string::npos)
        return {};
    const auto from = at + key.size();
    return line.substr(from, line.find_first_of(",}", from + 1) - from);
}

// Milliseconds of the day of an ISO time stamp in a JSON line.
std::int64_t TimeOfDayMs(const std::string& line) {
    const std::string stamp = JsonField(line, "timestamp");
    const auto t = stamp.find('T');
    return std::stoll(stamp.substr(t + 1, 2)) * 3600000 + std::stoll(stamp.substr(t + 4, 2)) * 60000 +
           std::stoll(stamp.substr(t + 7, 2)) * 1000 + std::stoll(stamp.substr(t + 10, 3));
}

// The data sets of a tsv output as the window's LOAD reads them. (The reader also lists
// the blank line after the last line end; it holds no data set.)
struct Loaded {
    DataFileContent content;
    std::vector<LoadedRow> rows;
};
Loaded Load(const std::string& bytes) {
    static PosixRegionalSettings c("C");
    DataFileReadOptions options;
    options.regional = &c;
    Loaded loaded{ParseDataFile(bytes, options), {}};
    for (const LoadedRow& row : loaded.content.rows)
        if (!row.numberText.empty())
            loaded.rows.push_back(row);
    EXPECT_EQ(static_cast<int>(loaded.rows.size()), loaded.content.storedRows);
    return loaded;
}

TEST(RecordProgram, SingleShotIsTheDataFileOfTheWindow) {
    const std::string simulate = WriteScenario("quiet.ini");
    const Finished f = RunProgram({simulate, "--fast-clock", "--rate", "100", "--out", "single.txt"});
    ASSERT_EQ(f.exitCode, kExitDone) << f.err;
    EXPECT_EQ(f.out, "");

    const std::string bytes = ReadFileBytes("single.txt");
    const std::vector<std::string> lines = Split(bytes, "\r\n");
    ASSERT_EQ(lines.size(), 2u) << bytes;
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    EXPECT_EQ(lines[0],
              "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = N\t"
              "[MaxFilt] = N\t(100ms)");
    const std::vector<std::string> fields = Split(lines[1], "\t");
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[0], "1");
    EXPECT_EQ(fields[3].size(), 3u);
    const std::string value = ExpectedValueText("quiet.ini", 250.0);
    EXPECT_EQ(value, " 255.0");
    for (int i = 4; i < 9; ++i)
        EXPECT_EQ(fields[static_cast<std::size_t>(i)], value) << i;

    // LOAD reads the same row back, with the captions of the header.
    const Loaded loaded = Load(bytes);
    ASSERT_TRUE(loaded.content.Completed());
    ASSERT_EQ(loaded.rows.size(), 1u);
    EXPECT_EQ(loaded.rows[0].numberText, "1");
    EXPECT_EQ(loaded.rows[0].subItems, (std::vector<std::string>{fields[1], fields[2], fields[3], "255.0",
                                                                 "255.0", "255.0", "255.0", "255.0"}));
    EXPECT_EQ(loaded.content.captions[4], "[Value]=N");
    EXPECT_NE(f.err.find("1 data set recorded"), std::string::npos) << f.err;
    EXPECT_NE(f.err.find("n 1, mean 255 N"), std::string::npos) << f.err;
}

TEST(RecordProgram, CountAndDurationEndTheRunOnTheSimulatedClock) {
    const std::string simulate =
        WriteScenario("ramp.ini", "shape = ramp\nlevel = 0\namplitude = 500\nperiodMs = 100000\n");
    const struct {
        std::vector<std::string> args;
        std::size_t dataSets;
        std::int64_t stepMs;
    } cases[] = {
        {{"--auto", "--rate", "1", "--count", "250"}, 250, 1},
        {{"--auto", "--rate", "10", "--duration", "2"}, 200, 10},
        {{"--auto", "--rate-index", "6", "--duration", "1.55"}, 15, 100},
        {{"--auto", "--rate", "500", "--count", "3"}, 3, 500},
        // Longer than the table of 10240 data sets: none is lost in the wrap-around.
        {{"--auto", "--rate", "1", "--duration", "12"}, 12000, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2] + " " + c.args.back());
        std::vector<std::string> args = {simulate, "--fast-clock", "--format", "jsonl", "--quiet"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Finished f = RunProgram(args);
        ASSERT_EQ(f.exitCode, kExitDone) << f.err;
        EXPECT_EQ(f.err, "");
        const std::vector<std::string> lines = Split(f.out, "\n");
        ASSERT_EQ(lines.size(), c.dataSets);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(JsonField(lines[i], "number"), std::to_string(i + 1));
            if (i > 0) {
                ASSERT_EQ(TimeOfDayMs(lines[i]) - TimeOfDayMs(lines[i - 1]), c.stepMs) << lines[i];
            }
        }
    }
}

TEST(RecordProgram, InstrumentKeyPressesFromTheScenario) {
    const struct {
        const char* presses;
        std::vector<std::string> args;
        std::vector<std::int64_t> gapsMs;
    } cases[] = {
        {"1500, 2500, 4000", {"--duration", "5"}, {1000, 1500}},
        // 1530 follows 1500 closer than the debounce time (70 ms): one data set.
        {"1500, 1530, 2500", {"--duration", "5"}, {1000}},
        {"1500, 2500, 4000", {"--count", "2"}, {1000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.presses);
        const std::string simulate = WriteScenario("keys.ini", "shape = constant\nlevel = 250\n",
                                                   std::string("keyPressAtMs = ") + c.presses + "\n");
        std::vector<std::string> args = {simulate, "--fast-clock", "--key", "--rate",
                                         "1",      "--format",     "jsonl"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Finished f = RunProgram(args);
        ASSERT_EQ(f.exitCode, kExitDone) << f.err;
        const std::vector<std::string> lines = Split(f.out, "\n");
        ASSERT_EQ(lines.size(), c.gapsMs.size() + 1) << f.out;
        for (std::size_t i = 1; i < lines.size(); ++i)
            EXPECT_EQ(TimeOfDayMs(lines[i]) - TimeOfDayMs(lines[i - 1]), c.gapsMs[i - 1]);
        EXPECT_EQ(JsonField(lines[0], "value"), "255.0");
    }
}

TEST(RecordProgram, DataSetOutsideTheLimitsFailsTheRun) {
    // Half a second at 250 (value 255.0), half a second at 270 (value 275.4).
    const std::string simulate =
        WriteScenario("steps.ini", "shape = steps\nlevel = 250\namplitude = 20\nperiodMs = 1000\n");
    const Finished f = RunProgram({simulate, "--fast-clock", "--auto", "--rate", "100", "--count", "20",
                                   "--format", "csv", "--limits", "250:260"});
    EXPECT_EQ(f.exitCode, kExitOutsideLimits) << f.err;
    const std::vector<std::string> lines = Split(f.out, "\r\n");
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[0], "number,timestamp,value,min,max,min_avr,max_avr,unit,verdict");
    int passed = 0, high = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = Split(lines[i], ",");
        ASSERT_EQ(fields.size(), 9u) << lines[i];
        const double value = std::stod(fields[2]);
        EXPECT_EQ(fields[8], value > 260.0 ? "HIGH" : "PASS") << lines[i];
        (value > 260.0 ? high : passed)++;
    }
    EXPECT_GT(passed, 0);
    EXPECT_GT(high, 0);
    EXPECT_NE(f.err.find("limits 250:260: " + std::to_string(passed) + " passed, 0 low, " +
                         std::to_string(high) + " high"),
              std::string::npos)
        << f.err;
}

TEST(RecordProgram, VerdictOfAConstantValueGivesTheExitCode) {
    const std::string simulate = WriteScenario("quiet.ini");
    const struct {
        const char* limits;
        const char* verdict;
        int exitCode;
    } cases[] = {
        {"250:260", "PASS", kExitDone},      {":255", "PASS", kExitDone},
        {"255:", "PASS", kExitDone},         {":200", "HIGH", kExitOutsideLimits},
        {"300:", "LOW", kExitOutsideLimits},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limits);
        const Finished f = RunProgram(
            {simulate, "--fast-clock", "--rate", "100", "--format", "jsonl", "--limits", c.limits});
        EXPECT_EQ(f.exitCode, c.exitCode) << f.err;
        EXPECT_EQ(JsonField(f.out, "verdict"), std::string("\"") + c.verdict + "\"") << f.out;
    }
}

TEST(RecordProgram, LostConnectionEndsWithFourAndKeepsWhatWasRecorded) {
    const std::string simulate =
        WriteScenario("lost.ini", "shape = constant\nlevel = 250\n", "connectionLostAtMs = 3000\n");
    const Finished f = RunProgram({simulate, "--fast-clock", "--auto", "--rate", "100", "--out", "lost.txt"});
    EXPECT_EQ(f.exitCode, kExitInstrumentFailed);
    EXPECT_NE(f.err.find("the connection to the instrument was lost"), std::string::npos) << f.err;
    const Loaded loaded = Load(ReadFileBytes("lost.txt"));
    ASSERT_TRUE(loaded.content.Completed());
    // Every mean up to the loss at 3 s: about 30 of them.
    EXPECT_GE(loaded.rows.size(), 28u);
    EXPECT_LE(loaded.rows.size(), 31u);
    for (std::size_t i = 0; i < loaded.rows.size(); ++i)
        EXPECT_EQ(loaded.rows[i].number, static_cast<int>(i + 1));
}

TEST(RecordProgram, StalledMeasurementStreamIsADataError) {
    const std::string simulate = WriteScenario("stall.ini", "shape = constant\nlevel = 250\n",
                                               "r2StallAtMs = 2000\nr2StallMs = 60000\n");
    const Finished f =
        RunProgram({simulate, "--fast-clock", "--auto", "--rate", "100", "--out", "stall.txt"});
    EXPECT_EQ(f.exitCode, kExitInstrumentFailed);
    EXPECT_NE(f.err.find("WARNING: Data error, save data and repower device"), std::string::npos) << f.err;
    const Loaded loaded = Load(ReadFileBytes("stall.txt"));
    ASSERT_TRUE(loaded.content.Completed());
    EXPECT_GE(loaded.rows.size(), 18u);
    EXPECT_LE(loaded.rows.size(), 20u);
}

TEST(RecordProgram, StopSignalEndsTheRunAndWritesWhatWasRecorded) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string simulate = WriteScenario("quiet.ini");
        const std::string out = std::string("stopped-") + std::to_string(signal) + ".txt";
        Program program({simulate, "--fast-clock", "--auto", "--rate", "100", "--out", out});
        ASSERT_TRUE(program.WaitForLines(out, 6));
        program.Signal(signal);
        const Finished f = program.Wait();
        EXPECT_EQ(f.exitCode, kExitDone) << f.err;
        EXPECT_NE(f.err.find("(stopped by a signal)"), std::string::npos) << f.err;
        const std::string bytes = ReadFileBytes(out);
        EXPECT_TRUE(bytes.ends_with("\r\n"));
        const Loaded loaded = Load(bytes);
        ASSERT_TRUE(loaded.content.Completed());
        ASSERT_GE(loaded.rows.size(), 5u);
        for (std::size_t i = 0; i < loaded.rows.size(); ++i)
            EXPECT_EQ(loaded.rows[i].number, static_cast<int>(i + 1));
        EXPECT_NE(f.err.find(std::to_string(loaded.rows.size()) + " data sets recorded"), std::string::npos);
    }
}

TEST(RecordProgram, FailuresOfTheInstrumentAndTheOutputGiveTheirExitCodes) {
    const struct {
        const char* name;
        const char* events;
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        // clang-format off
        {"an answer that never comes", "silentCommands = #Z63\n", {},
         kExitInstrumentFailed, "did not complete its start-up readout within 10 s"},
        {"no calibration segment", "faultyCalibration = 1\n", {"--auto"},
         kExitInstrumentFailed, "Error: Sensor Calibration Error\n"},
        {"a full disk", "", {"--out", "/dev/full"},
         kExitOutputFailed, "cannot write to \"/dev/full\": No space left on device"},
        {"a missing folder", "", {"--out", "missing/data.txt"},
         kExitOutputFailed, "cannot write to \"missing/data.txt\": No such file or directory"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {
            WriteScenario("failing.ini", "shape = constant\nlevel = 250\n", c.events), "--fast-clock"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Finished f = RunProgram(args);
        EXPECT_EQ(f.exitCode, c.exitCode) << f.err;
        EXPECT_NE(f.err.find(c.message), std::string::npos) << f.err;
    }
}

TEST(RecordProgram, InstrumentNotFoundExitsWithThree) {
    const std::string simulate =
        WriteScenario("absent.ini", "shape = constant\nlevel = 250\n", "", "present = 0\n");
    const Finished f = RunProgram({simulate, "--fast-clock", "--out", "absent.txt"});
    EXPECT_EQ(f.exitCode, kExitNoInstrument);
    EXPECT_EQ(f.err, "kantrel731-record: Tensolog not found\n");
    EXPECT_FALSE(std::filesystem::exists("absent.txt"));
}

TEST(RecordProgram, UsageErrorsExitWithTwoAndHelpListsTheExitCodes) {
    Finished f = RunProgram({"--rate", "3"});
    EXPECT_EQ(f.exitCode, kExitUsage);
    EXPECT_NE(f.err.find("--rate takes one of the averaging times"), std::string::npos) << f.err;
    f = RunProgram({"--simulate=missing.ini"});
    EXPECT_EQ(f.exitCode, kExitUsage);
    EXPECT_NE(f.err.find("cannot use the scenario missing.ini"), std::string::npos) << f.err;
    f = RunProgram({"--help"});
    EXPECT_EQ(f.exitCode, kExitDone);
    EXPECT_EQ(f.out, RecordUsageText());
}

TEST(RecordProgram, ZeroAndPeakClearComeBeforeTheDataSet) {
    const std::string simulate = WriteScenario("quiet.ini");
    const Finished f = RunProgram(
        {simulate, "--fast-clock", "--rate", "100", "--zero", "--clear-peak", "--format", "jsonl"});
    ASSERT_EQ(f.exitCode, kExitDone) << f.err;
    for (const char* field : {"value", "min", "max", "min_avr", "max_avr"}) {
        const std::string text = JsonField(f.out, field);
        EXPECT_TRUE(text == "0.0" || text == "-0.0") << field << " " << f.out;
    }
}

TEST(RecordProgram, RegionalCommaStaysInTheDataFileOnly) {
    const std::string simulate = WriteScenario("quiet.ini");
    const struct {
        const char* format;
        const char* value;
    } cases[] = {{"tsv", "\t 255,0\t"}, {"csv", ",255.0,"}, {"jsonl", "\"value\":255.0,"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const Finished f = RunProgram({simulate, "--fast-clock", "--rate", "100", "--format", c.format},
                                      {"LC_ALL=de_DE.UTF-8", "TZ=UTC"});
        ASSERT_EQ(f.exitCode, kExitDone) << f.err;
        EXPECT_NE(f.out.find(c.value), std::string::npos) << f.out;
    }
}

TEST(RecordProgram, TerminalShowsIdentificationAndProgressUnlessQuiet) {
    for (const bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "quiet" : "talking");
        int master = -1, slave = -1;
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const std::string simulate = WriteScenario("quiet.ini");
        std::vector<std::string> args = {simulate, "--fast-clock", "--auto",   "--rate", "100", "--duration",
                                         "3",      "--out",        "/dev/null"};
        if (quiet)
            args.push_back("--quiet");
        Program program(args, {"LC_ALL=C", "TZ=UTC"}, slave);
        ::close(slave);
        std::string terminal;
        char buffer[512];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, static_cast<std::size_t>(n));
        ::close(master);
        EXPECT_EQ(program.Wait().exitCode, kExitDone) << terminal;
        if (quiet) {
            EXPECT_EQ(terminal, "");
            continue;
        }
        EXPECT_NE(
            terminal.find("Tensolog: device D731-0001, sensor S1000N-0001, nominal value 1000.0 N, firmware "
                          "Tensolog SIM 1.0"),
            std::string::npos)
            << terminal;
        EXPECT_NE(terminal.find(" data sets, live 255.0 N, 0:00:0"), std::string::npos) << terminal;
        EXPECT_NE(terminal.find("30 data sets recorded"), std::string::npos) << terminal;
    }
}

} // namespace
} // namespace kantrel::record
