#include <gtest/gtest.h>

#include "core/parameter_words.h"
#include "files/external_program.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

class ExpandParametersTest : public testing::Test {
protected:
    void SetUp() override {
        settings.DecimalSeparator = ".";
        store.minText = " 1,5";
        store.maxText = " 2,5";
        store.minAvrText = " 1,75";
        store.maxAvrText = " 2,25";
        store.meanText = "-2,0";
        store.SetRowTime(3, "12:34:56");
        store.SetRowDate(3, "09.12.2025");
    }
    std::string Expand(std::string parameters) {
        settings.extParameter = std::move(parameters);
        return ExpandParameters(store, 3);
    }

    test::PortsScope scope;
    TMeasData store{10};
};

// What the program receives: the parameter text split into its words.
using Words = std::vector<std::string>;

TEST_F(ExpandParametersTest, PlaceholdersAndTheCharacterAfterThemBecomeValueAndBlank) {
    struct Case {
        const char* parameters;
        Words words;
    } cases[] = {
        {"_Min_ _Max_", {"1.5", "2.5"}},
        {"_Mean_;_Time_", {"-2.0", "12:34:56"}},
        {"-a _MinAvr_ -b _MaxAvr_ -c", {"-a", "1.75", "-b", "2.25", "-c"}},
        {"_Date_", {"09.12.2025"}},
        {"no placeholders at all", {"no", "placeholders", "at", "all"}},
        {"_Min_ _Min_", {"1.5", "_Min_"}},
        {"", {}},
        {"_Max_ _Min_ _MaxAvr_ _MinAvr_ _Mean_ _Time_ _Date_",
         {"2.5", "1.5", "2.25", "1.75", "-2.0", "12:34:56", "09.12.2025"}},
        // One character goes with the placeholder, however many bytes it has.
        {"_Mean_\xE2\x82\xACx", {"-2.0", "x"}},
        {"_Mean_\xC3\xBC", {"-2.0"}},
        // The value takes the place of the placeholder within its word.
        {"--mean=_Mean_ --at=_Time_", {"--mean=-2.0", "--at=12:34:56"}},
        {"_Max__Min_", {"2.5", "1.5"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.parameters);
        SetUp();
        EXPECT_EQ(SplitShellWords(Expand(k.parameters)), k.words);
    }
}

// Quotes and backslashes of the configured line keep their meaning: a value never eats a
// closing quote, and a line written for Windows keeps its backslashes.
TEST_F(ExpandParametersTest, QuotesAndBackslashesOfTheLineAreKept) {
    struct Case {
        const char* parameters;
        Words words;
    } cases[] = {
        {"\"_Time_\" next", {"12:34:56", "next"}},
        {"'_Time_' next", {"12:34:56", "next"}},
        {"\"at _Time_ on _Date_\" _Mean_", {"at 12:34:56 on 09.12.2025", "-2.0"}},
        {"C:\\data\\out.csv _Mean_", {"C:\\data\\out.csv", "-2.0"}},
        {"\"C:\\Program Files\\log\" _Mean_", {"C:\\Program Files\\log", "-2.0"}},
        {"\"C:\\out\\\\\" _Mean_", {"C:\\out\\", "-2.0"}},
        {"_Mean_\\x y", {"-2.0\\x", "y"}},
        {"_Mean_\" y\"", {"-2.0 y"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.parameters);
        SetUp();
        EXPECT_EQ(SplitShellWords(Expand(k.parameters)), k.words);
    }
}

// A value is one piece of the word it stands in: its blanks, quotes and backslashes are
// its own characters, whatever the regional time format puts there.
TEST_F(ExpandParametersTest, ValueTextsAreNeverSplitOrQuoted) {
    struct Case {
        const char* time;
        const char* parameters;
        Words words;
    } cases[] = {
        {"02:03:04 PM", "_Date_ _Time_ _Mean_", {"09.12.2025", "02:03:04 PM", "-2.0"}},
        {"02:03:04 PM", "\"_Time_\"", {"02:03:04 PM"}},
        {"02:03:04 PM", "--time=_Time_", {"--time=02:03:04 PM"}},
        {"12'34\"56\\", "_Time_ x", {"12'34\"56\\", "x"}},
        {"'", "_Time_", {"'"}},
        {"", "a _Time_ b", {"a", "", "b"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.parameters);
        SetUp();
        store.SetRowTime(3, k.time);
        EXPECT_EQ(SplitShellWords(Expand(k.parameters)), k.words);
    }
}

TEST_F(ExpandParametersTest, LineWithoutPlaceholdersIsPassedUnchanged) {
    for (const char* line : {"a  'b c'", "\"x\\\" y", "  -v  "}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Expand(line), line);
    }
}

TEST_F(ExpandParametersTest, OnlyTheTextsOfPresentPlaceholdersAreConvertedInTheStore) {
    Expand("_Min_ _Mean_");
    EXPECT_EQ(store.minText, " 1.5");
    EXPECT_EQ(store.meanText, "-2.0");
    EXPECT_EQ(store.maxText, " 2,5");
    EXPECT_EQ(store.minAvrText, " 1,75");
}

TEST(LaunchExternalProgramTest, ResultCodesBecomeTheirMessages) {
    struct Case {
        int code;
        const char* message; // empty: started, nothing shown
    } cases[] = {
        {42, ""},
        {33, ""},
        {2, "File 'calc' not found!"},
        {3, "Path to File 'calc' not found!"},
        {8, "out of memory!"},
        {11, "Invalid or bad format of application!"},
        {26, "access to file 'calc' denied!"},
        {31, "unknown filetype!"},
        {0, "File 'calc' could not be opend!"},
        {32, "File 'calc' could not be opend!"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.code);
        test::PortsScope scope;
        scope.launcher.result = k.code;
        LaunchExternalProgram("calc", "-x 1");
        ASSERT_EQ(scope.launcher.calls.size(), 1u);
        EXPECT_EQ(scope.launcher.calls[0].program, "calc");
        EXPECT_EQ(scope.launcher.calls[0].parameters, "-x 1");
        const auto messages = scope.window.Messages();
        if (*k.message == '\0') {
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_EQ(messages, (std::vector<test::Message>{{k.message, "Error"}}));
        }
    }
}

// The processing cycle starts the program from the refresh tick, which must go on while
// the message of a failed start is open.
TEST(LaunchExternalProgramTest, FailedStartReturnsWithItsBoxStillOpen) {
    test::PortsScope scope;
    scope.launcher.result = 2;
    scope.window.holdBoxes = true;
    LaunchExternalProgram("missing", "");
    EXPECT_EQ(scope.window.Messages(), (std::vector<test::Message>{{"File 'missing' not found!", "Error"}}));
    EXPECT_EQ(scope.window.heldBoxes.size(), 1u);
}

// The processing cycle starts the program for a single shot with the expanded parameters.
TEST(LaunchExternalProgramTest, SingleShotStartsTheConfiguredProgram) {
    test::PortsScope scope;
    ExternalProgramStarter externalProgram;
    ports().externalProgram = &externalProgram;
    test::UseIdentityParameters();
    settings.extProgramm = "/opt/collect";
    settings.extParameter = "_Mean_ _Date_";
    settings.DecimalSeparator = ".";
    TMeasData store(10);
    store.RequestSingleShot();
    ASSERT_TRUE(test::Feed(store, 10, 5));
    ASSERT_EQ(scope.launcher.calls.size(), 1u);
    EXPECT_EQ(scope.launcher.calls[0].program, "/opt/collect");
    std::string mean = store.GetMeanText();
    mean.erase(0, mean.find_first_not_of(' '));
    EXPECT_EQ(SplitShellWords(scope.launcher.calls[0].parameters), (Words{mean, store.GetRowDate(0)}));
    EXPECT_EQ(store.GetMeanText().find(','), std::string::npos);
}

} // namespace
} // namespace kantrel
