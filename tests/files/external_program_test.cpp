#include <gtest/gtest.h>

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

TEST_F(ExpandParametersTest, PlaceholdersAndTheCharacterAfterThemBecomeValueAndBlank) {
    struct Case {
        const char* parameters;
        const char* expected;
    } cases[] = {
        {"_Min_ _Max_", " 1.5  2.5 "},
        {"_Mean_;_Time_", "-2.0 12:34:56 "},
        {"-a _MinAvr_ -b _MaxAvr_ -c", "-a  1.75 -b  2.25 -c"},
        {"_Date_", "09.12.2025 "},
        {"no placeholders at all", "no placeholders at all"},
        {"_Min_ _Min_", " 1.5 _Min_"},
        {"", ""},
        {"_Max_ _Min_ _MaxAvr_ _MinAvr_ _Mean_ _Time_ _Date_",
         " 2.5  1.5  2.25  1.75 -2.0 12:34:56 09.12.2025 "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.parameters);
        SetUp();
        EXPECT_EQ(Expand(k.parameters), k.expected);
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

// The processing cycle starts the program for a single shot with the expanded parameters.
TEST(LaunchExternalProgramTest, SingleShotStartsTheConfiguredProgram) {
    test::PortsScope scope;
    test::UseIdentityParameters();
    settings.extProgramm = "/opt/collect";
    settings.extParameter = "_Mean_ _Date_";
    settings.DecimalSeparator = ".";
    TMeasData store(10);
    store.RequestSingleShot();
    ASSERT_TRUE(test::Feed(store, 10, 5));
    ASSERT_EQ(scope.launcher.calls.size(), 1u);
    EXPECT_EQ(scope.launcher.calls[0].program, "/opt/collect");
    EXPECT_EQ(scope.launcher.calls[0].parameters, store.GetMeanText() + " " + store.GetRowDate(0) + " ");
    EXPECT_EQ(store.GetMeanText().find(','), std::string::npos);
}

} // namespace
} // namespace kantrel
