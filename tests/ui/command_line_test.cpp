// The program's command line.

#include <gtest/gtest.h>

#include "ui/command_line.h"

namespace kantrel::ui {
namespace {

TEST(CommandLineTest, OptionsAndErrors) {
    const struct {
        std::vector<std::string> args;
        bool help, version, simulate;
        const char* scenario;
        bool error;
    } cases[] = {
        {{"kantrel731"}, false, false, false, "", false},
        {{"kantrel731", "--help"}, true, false, false, "", false},
        {{"kantrel731", "-h"}, true, false, false, "", false},
        {{"kantrel731", "--version"}, false, true, false, "", false},
        {{"kantrel731", "--simulate"}, false, false, true, "", false},
        {{"kantrel731", "--simulate=run.ini"}, false, false, true, "run.ini", false},
        {{"kantrel731", "--simulate="}, false, false, true, "", true},
        {{"kantrel731", "--simulte"}, false, false, false, "", true},
        {{"kantrel731", "-platform", "offscreen", "--simulate"}, false, false, true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.help, c.help);
        EXPECT_EQ(line.version, c.version);
        EXPECT_EQ(line.simulate, c.simulate);
        EXPECT_EQ(line.scenarioFile, c.scenario);
        EXPECT_EQ(!line.error.empty(), c.error);
    }
}

TEST(CommandLineTest, UdevRuleForADevice) {
    const struct {
        std::vector<std::string> args;
        std::optional<UsbId> id;
        bool install;
        const char* error; // part of the message; empty: none
    } cases[] = {
        {{"kantrel731", "--udev-rule", "1234:5678"}, UsbId{0x1234, 0x5678}, false, ""},
        {{"kantrel731", "--udev-rule=abcd:0001"}, UsbId{0xabcd, 0x0001}, false, ""},
        {{"kantrel731", "--udev-rule", "1234:5678", "--install"}, UsbId{0x1234, 0x5678}, true, ""},
        {{"kantrel731", "--install", "--udev-rule", "1234:5678"}, UsbId{0x1234, 0x5678}, true, ""},
        {{"kantrel731", "--udev-rule"}, std::nullopt, false, "needs a USB ID"},
        {{"kantrel731", "--udev-rule="}, std::nullopt, false, "needs a USB ID"},
        {{"kantrel731", "--udev-rule", "12345678"}, std::nullopt, false, "not \"12345678\""},
        {{"kantrel731", "--udev-rule", "1234:5678,abcd:0001"}, std::nullopt, false, "needs a USB ID"},
        {{"kantrel731", "--install"}, std::nullopt, true, "--install goes with --udev-rule"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.udevRule, c.id);
        EXPECT_EQ(line.installUdevRule, c.install);
        EXPECT_NE(line.error.find(c.error), std::string::npos) << line.error;
        EXPECT_EQ(line.error.empty(), *c.error == '\0');
    }
}

TEST(CommandLineTest, VersionAndUsageTexts) {
    EXPECT_EQ(VersionText(), "kantrel731 " KANTREL_VERSION "\n");
    const std::string usage = UsageText("kantrel731");
    for (const char* option :
         {"--simulate", "--simulate=FILE", "--help", "--version", "--udev-rule VID:PID", "--install"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

} // namespace
} // namespace kantrel::ui
