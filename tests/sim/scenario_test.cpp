#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "sim/scenario.h"
#include "sim/signal.h"
#include "support/test_environment.h"

namespace kantrel::sim {
namespace {

TEST(Scenario, DefaultIsAThousandNewtonSensorWithASlowNoisySine) {
    const Scenario s = DefaultScenario();
    EXPECT_TRUE(s.present);
    EXPECT_EQ(s.nominalValue, 1000.0);
    EXPECT_EQ(s.fullScale, 1000.0);
    EXPECT_EQ(s.unit, "N");
    EXPECT_EQ(s.calibration.size(), 3u);
    EXPECT_EQ(s.shape, SignalShape::Sine);
    EXPECT_GE(s.periodMs, 5000);
    EXPECT_GT(s.noise, 0.0);
    EXPECT_LT(s.noise, s.amplitude / 50);
    EXPECT_GE(s.keyPressEveryMs, 1000);
    EXPECT_LE(s.keyPressEveryMs, 10000);
    EXPECT_FALSE(s.connectionLostAtMs.has_value());
    EXPECT_TRUE(s.silentCommands.empty());
}

TEST(Scenario, FileWithEveryKey) {
    const ScenarioResult r = LoadScenarioFile(test::TestDataPath("sim_full.ini"));
    ASSERT_TRUE(r.scenario) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    const Scenario& s = *r.scenario;
    EXPECT_EQ(s.firmware, "Tensolog 7.31 test");
    EXPECT_EQ(s.deviceError, "E12 sensor open");
    EXPECT_EQ(s.fullScale, 2000.5);
    EXPECT_EQ(s.scaleOffset, -1.25);
    EXPECT_EQ(s.deviceSerial, "D-12345");
    EXPECT_EQ(s.nominalValue, 2000.0);
    EXPECT_EQ(s.param62, -7);
    EXPECT_EQ(s.param63, 42);
    ASSERT_EQ(s.calibration.size(), 4u);
    EXPECT_EQ(s.calibration[1].input, 1000.0);
    EXPECT_EQ(s.calibration[1].output, 1010.0);
    EXPECT_EQ(s.unit, "kN");
    EXPECT_EQ(s.sensorSerial, "S-2000KN-77");
    EXPECT_EQ(s.answerDelayMs, 5);
    EXPECT_EQ(s.shape, SignalShape::Steps); // the trailing comment is not part of the value
    EXPECT_EQ(s.level, 100.0);
    EXPECT_EQ(s.amplitude, 50.0);
    EXPECT_EQ(s.periodMs, 400);
    EXPECT_EQ(s.noise, 0.5);
    EXPECT_EQ(s.seed, 99u);
    EXPECT_EQ(s.keyPressEveryMs, 0);
    EXPECT_EQ(s.keyPressAtMs, (std::vector<std::int64_t>{1000, 2500}));
    EXPECT_EQ(s.connectionLostAtMs, 9000);
    EXPECT_EQ(s.silentCommands, (std::vector<std::string>{"#Z63", "#Y00"}));
    EXPECT_EQ(s.r1Stall.atMs, 100);
    EXPECT_EQ(s.r1Stall.durationMs, 1500);
    EXPECT_EQ(s.r2Stall.atMs, 2000);
    EXPECT_EQ(s.r2Stall.durationMs, 800);
    EXPECT_EQ(s.s1Stall.atMs, 3000);
    EXPECT_EQ(s.s1Stall.durationMs, 2000);
    EXPECT_TRUE(s.faultyCalibration);
}

TEST(Scenario, MissingKeysKeepTheDefaults) {
    const ScenarioResult r = ParseScenario("[Instrument]\nunit = kg\n");
    ASSERT_TRUE(r.scenario) << r.error;
    Scenario expected = DefaultScenario();
    EXPECT_EQ(r.scenario->unit, "kg");
    EXPECT_EQ(r.scenario->nominalValue, expected.nominalValue);
    EXPECT_EQ(r.scenario->shape, expected.shape);
    EXPECT_EQ(r.scenario->keyPressEveryMs, expected.keyPressEveryMs);
}

TEST(Scenario, UnknownKeysAndSectionsAreWarnings) {
    const ScenarioResult r = LoadScenarioFile(test::TestDataPath("sim_unknown_keys.ini"));
    ASSERT_TRUE(r.scenario) << r.error;
    EXPECT_EQ(r.scenario->unit, "mV/V");
    EXPECT_EQ(r.scenario->shape, SignalShape::Ramp); // names of shapes ignore case
    EXPECT_EQ(r.warnings, (std::vector<std::string>{"[Instrument] colour", "[Weather]"}));
}

TEST(Scenario, ErrorsNameSectionKeyAndValue) {
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"[Instrument]\nfullScale = 1,5\n", "[Instrument] fullScale: not a number: 1,5"},
        {"[Instrument]\nparam62 = 2.5\n", "[Instrument] param62: not a number: 2.5"},
        {"[Instrument]\ncalibration = 0:0, 5\n",
         "[Instrument] calibration: expected up to five input:output pairs: 0:0, 5"},
        {"[Instrument]\ncalibration = 0:0,1:1,2:2,3:3,4:4,5:5\n",
         "[Instrument] calibration: expected up to five"},
        {"[Signal]\nshape = square\n",
         "[Signal] shape: expected constant, ramp, sine, steps or file: square"},
        {"[Signal]\nperiodMs = 0\n", "[Signal] periodMs: must be above 0"},
        {"[Signal]\nshape = file\n", "[Signal] file: missing for shape=file"},
        {"[Signal]\nshape = file\nfile = /nonexistent/counts.txt\n",
         "[Signal] file: cannot read /nonexistent/counts.txt"},
        {"[Events]\nkeyPressAtMs = 10, soon\n", "[Events] keyPressAtMs: not a time: soon"},
        {"[Events]\nfaultyCalibration = yes\n", "[Events] faultyCalibration: not a number: yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ScenarioResult r = ParseScenario(c.text);
        EXPECT_FALSE(r.scenario);
        EXPECT_EQ(r.error.substr(0, c.error.size()), c.error);
    }
}

// Times near the 64-bit limit overflowed when the instrument added them to its clock
// (answer delay, stall end); negative times have no meaning.
TEST(Scenario, TimesOutsideTheirRangeAreErrors) {
    const std::string range = ": must lie between 0 and 1000000000000 ms: ";
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"[Instrument]\nanswerDelayMs = 9223372036854775807\n",
         "[Instrument] answerDelayMs" + range + "9223372036854775807"},
        {"[Instrument]\nanswerDelayMs = -1\n", "[Instrument] answerDelayMs" + range + "-1"},
        {"[Signal]\nperiodMs = 1000000000001\n", "[Signal] periodMs" + range + "1000000000001"},
        {"[Events]\nkeyPressEveryMs = -5\n", "[Events] keyPressEveryMs" + range + "-5"},
        {"[Events]\nkeyPressAtMs = 10, 9223372036854775807\n",
         "[Events] keyPressAtMs" + range + "9223372036854775807"},
        {"[Events]\nconnectionLostAtMs = -9223372036854775808\n",
         "[Events] connectionLostAtMs" + range + "-9223372036854775808"},
        {"[Events]\nr1StallAtMs = 100\nr1StallMs = 9223372036854775000\n",
         "[Events] r1StallMs" + range + "9223372036854775000"},
        {"[Events]\nr2StallAtMs = 9223372036854775000\nr2StallMs = 1000\n",
         "[Events] r2StallAtMs" + range + "9223372036854775000"},
        {"[Events]\ns1StallMs = 1000000000001\n", "[Events] s1StallMs" + range + "1000000000001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ScenarioResult r = ParseScenario(c.text);
        EXPECT_FALSE(r.scenario);
        EXPECT_EQ(r.error, c.error);
    }
    const ScenarioResult longest =
        ParseScenario("[Events]\nr2StallAtMs = 1000000000000\nr2StallMs = 1000000000000\n");
    ASSERT_TRUE(longest.scenario) << longest.error;
    EXPECT_EQ(longest.scenario->r2Stall.EndMs(), 2000000000000);
}

// A NaN scale reached the instrument's conversion of values into 16-bit counts.
TEST(Scenario, NumbersMustBeFinite) {
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"[Instrument]\nfullScale = nan\n", "[Instrument] fullScale: not a number: nan"},
        {"[Instrument]\nscaleOffset = -NaN\n", "[Instrument] scaleOffset: not a number: -NaN"},
        {"[Instrument]\nnominalValue = inf\n", "[Instrument] nominalValue: not a number: inf"},
        {"[Instrument]\ncalibration = 0:0, infinity:1\n",
         "[Instrument] calibration: expected up to five input:output pairs: 0:0, infinity:1"},
        {"[Signal]\nlevel = -infinity\n", "[Signal] level: not a number: -infinity"},
        {"[Signal]\namplitude = 1e999\n", "[Signal] amplitude: not a number: 1e999"},
        {"[Signal]\nnoise = nan\n", "[Signal] noise: not a number: nan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ScenarioResult r = ParseScenario(c.text);
        EXPECT_FALSE(r.scenario);
        EXPECT_EQ(r.error, c.error);
    }
}

// The byte 0xA7 ends an answer message: inside a text it cut the answer short and let
// the rest pose as another answer ("§ abcdefghi#Z16999" set the full scale to 999).
TEST(Scenario, TextsWithTheEndOfMessageMarkAreErrors) {
    const std::string mark = ": holds the byte 0xA7, the end mark of an answer";
    for (const std::string key : {"firmware", "deviceError", "deviceSerial", "unit", "sensorSerial"}) {
        for (const std::string value : {"\xC2\xA7 abcdefghi#Z16999", "x\xA7", "Fran\xC3\xA7ois"}) {
            SCOPED_TRACE(key + " = " + value);
            const ScenarioResult r = ParseScenario("[Instrument]\n" + key + " = " + value + "\n");
            EXPECT_FALSE(r.scenario);
            EXPECT_EQ(r.error.substr(0, r.error.find(mark) + mark.size()), "[Instrument] " + key + mark);
        }
    }
    const ScenarioResult plain = ParseScenario("[Instrument]\nunit = \xC2\xB5m\n");
    ASSERT_TRUE(plain.scenario) << plain.error;
    EXPECT_EQ(plain.scenario->unit, "\xC2\xB5m");
}

TEST(Scenario, MissingFileIsAnError) {
    const ScenarioResult r = LoadScenarioFile(test::IsolatedEnvironment::Root() + "/absent.ini");
    EXPECT_FALSE(r.scenario);
    EXPECT_NE(r.error.find("absent.ini"), std::string::npos);
}

TEST(Scenario, SignalFileIsFoundBesideTheScenario) {
    const std::string folder = test::IsolatedEnvironment::Root();
    test::WriteFileBytes(folder + "/counts.txt", "10 -20\n32767\n-32768\n");
    test::WriteFileBytes(folder + "/file.ini", "[Signal]\nshape = file\nfile = counts.txt\n");
    const ScenarioResult r = LoadScenarioFile(folder + "/file.ini");
    ASSERT_TRUE(r.scenario) << r.error;
    EXPECT_EQ(r.scenario->rawCounts, (std::vector<std::int16_t>{10, -20, 32767, -32768}));
    // Played in a loop, one count per millisecond.
    EXPECT_EQ(RawCountAt(*r.scenario, 0), 10);
    EXPECT_EQ(RawCountAt(*r.scenario, 5), -20);

    test::WriteFileBytes(folder + "/counts.txt", "1 2 40000\n");
    const ScenarioResult bad = LoadScenarioFile(folder + "/file.ini");
    EXPECT_NE(bad.error.find("not a raw count"), std::string::npos) << bad.error;
}

TEST(Signal, ShapesOverOnePeriod) {
    Scenario s;
    s.level = 100;
    s.amplitude = 40;
    s.periodMs = 1000;
    struct Case {
        SignalShape shape;
        std::int64_t t;
        double value;
    } cases[] = {
        {SignalShape::Constant, 0, 100}, {SignalShape::Constant, 777, 100}, {SignalShape::Ramp, 0, 100},
        {SignalShape::Ramp, 500, 120},   {SignalShape::Ramp, 1250, 110},    {SignalShape::Sine, 250, 140},
        {SignalShape::Sine, 750, 60},    {SignalShape::Steps, 499, 100},    {SignalShape::Steps, 500, 140},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.shape)) + " at " + std::to_string(c.t));
        s.shape = c.shape;
        EXPECT_NEAR(SignalValue(s, c.t), c.value, 1e-9);
    }
}

TEST(Signal, NoiseStaysWithinItsAmplitudeAndRepeats) {
    Scenario s;
    s.level = 10;
    s.noise = 2;
    double lo = 1e9, hi = -1e9;
    for (std::int64_t t = 0; t < 5000; ++t) {
        const double v = SignalValue(s, t);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        ASSERT_EQ(v, SignalValue(s, t)); // the same at every call
    }
    EXPECT_GE(lo, 8.0);
    EXPECT_LT(hi, 12.0);
    EXPECT_LT(lo, 8.5); // and it does move
    EXPECT_GT(hi, 11.5);
}

TEST(Signal, RawCountsFollowTheInstrumentsScaling) {
    Scenario s;
    s.fullScale = 1000;
    struct Case {
        double value, offset;
        std::int16_t raw;
    } cases[] = {{0, 0, 0},       {1000, 0, 23542}, {-1000, 0, -23542},
                 {500, 5, 11889}, {5000, 0, 32767}, {-5000, 0, -32768}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        s.scaleOffset = c.offset;
        EXPECT_EQ(ValueToRaw(s, c.value), c.raw);
    }
    s.fullScale = 0;
    EXPECT_EQ(ValueToRaw(s, 10), 0);
}

// A count that is no number at all was cast to 16 bits (undefined; the sanitizer
// build stops on it).
TEST(Signal, RawCountOfAScaleThatIsNoNumberIsZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double fullScale, offset;
    } cases[] = {{nan, 0}, {1000, nan}, {nan, nan}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fullScale << " " << c.offset);
        Scenario s;
        s.fullScale = c.fullScale;
        s.scaleOffset = c.offset;
        EXPECT_EQ(ValueToRaw(s, 10), 0);
    }
}

} // namespace
} // namespace kantrel::sim
