// Writing the udev rule: refused without root, written whole into the rules folder, and
// udev told to reload and apply it; each failure says what is left to do. The system is
// replaced by a temporary rules folder and a recorded command runner.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/udev_rule_install.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using Commands = std::vector<std::vector<std::string>>;

constexpr UsbId kId{0x1234, 0x5678};

class UdevRuleInstall : public ::testing::Test {
protected:
    void SetUp() override {
        system.rulesFolder = folder;
        fs::create_directories(folder);
        system.isRoot = [this] { return root; };
        system.run = [this](const std::vector<std::string>& command) {
            run.push_back(command);
            return run.size() == failingCommand ? 1 : 0;
        };
    }
    std::string RulePath() const { return folder + "/70-kantrel731-1234-5678.rules"; }
    bool Contains(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    std::string folder = test::IsolatedEnvironment::Root() + "/rules.d";
    UdevSystem system;
    bool root = true;
    std::size_t failingCommand = 0; // 1-based; 0: all succeed
    Commands run;
};

TEST_F(UdevRuleInstall, WritesTheRuleThenReloadsAndTriggersUdev) {
    const UdevInstallResult result = InstallUdevRule(kId, system);
    EXPECT_TRUE(result.done) << result.report;
    EXPECT_EQ(test::ReadFileBytes(RulePath()), UdevRuleText(kId));
    struct stat info {};
    ASSERT_EQ(::stat(RulePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(run, (Commands{{"udevadm", "control", "--reload"},
                             {"udevadm", "trigger", "--subsystem-match=usb", "--attr-match=idVendor=1234",
                              "--attr-match=idProduct=5678"}}));
    EXPECT_TRUE(Contains(result.report, RulePath()));
    // Nothing but the rule is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(UdevRuleInstall, ReplacesAnEarlierRuleForTheSameDevice) {
    test::WriteFileBytes(RulePath(), "an older rule\n");
    EXPECT_TRUE(InstallUdevRule(kId, system).done);
    EXPECT_EQ(test::ReadFileBytes(RulePath()), UdevRuleText(kId));
}

TEST_F(UdevRuleInstall, FailuresSayWhatIsLeftToDo) {
    struct Case {
        const char* situation;
        bool root;
        bool folderExists;
        std::size_t failingCommand;
        bool ruleWritten;
        std::size_t commandsRun;
        std::vector<std::string> report;
    } cases[] = {
        {"not root", false, true, 0, false, 0, {"needs root", "sudo ", "--udev-rule 1234:5678 --install"}},
        {"no rules folder", true, false, 0, false, 0, {"Cannot write", "No such file or directory"}},
        {"reload fails", true, true, 1, true, 1, {"udevadm control --reload", "plug it in again"}},
        {"trigger fails", true, true, 2, true, 2, {"udevadm trigger", "plug it in again"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        fs::remove_all(folder);
        if (c.folderExists)
            fs::create_directories(folder);
        root = c.root;
        failingCommand = c.failingCommand;
        run.clear();

        const UdevInstallResult result = InstallUdevRule(kId, system);
        EXPECT_FALSE(result.done);
        EXPECT_EQ(fs::exists(RulePath()), c.ruleWritten);
        EXPECT_EQ(run.size(), c.commandsRun);
        for (const std::string& part : c.report)
            EXPECT_TRUE(Contains(result.report, part)) << part << " in\n" << result.report;
    }
}

} // namespace
} // namespace kantrel
