#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "files/spreadsheet.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;

class SpreadsheetTest : public testing::Test {
protected:
    // A PATH of two empty folders of our own, so that neither the machine's programs nor
    // those of an earlier test count.
    void SetUp() override {
        for (const std::string& folder : {first, second}) {
            fs::remove_all(folder);
            fs::create_directories(folder);
        }
        setenv("PATH", (first + ":" + second).c_str(), 1);
    }
    void Install(const std::string& folder, const std::string& name, bool executable = true) {
        test::WriteFileBytes(folder + "/" + name, "#!/bin/sh\n");
        chmod((folder + "/" + name).c_str(), executable ? 0755 : 0644);
    }

    test::PortsScope scope;
    std::string first = test::IsolatedEnvironment::Root() + "/bin1";
    std::string second = test::IsolatedEnvironment::Root() + "/bin2";
};

TEST_F(SpreadsheetTest, FirstCandidateFoundOnPathIsStarted) {
    struct Case {
        std::vector<std::pair<int, std::string>> installed; // folder 0/1, name
        std::string program, parameters;                    // empty program: none
    } cases[] = {
        {{}, "", ""},
        {{{1, "gnumeric"}}, "bin2/gnumeric", ""},
        {{{1, "gnumeric"}, {0, "localc"}}, "bin1/localc", ""},
        {{{1, "libreoffice"}, {0, "localc"}}, "bin2/libreoffice", "--calc"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.program);
        SetUp();
        for (const auto& [folder, name] : k.installed)
            Install(folder == 0 ? first : second, name);
        scope.launcher.calls.clear();
        StartSpreadsheet();
        if (k.program.empty()) {
            EXPECT_TRUE(scope.launcher.calls.empty());
            continue;
        }
        ASSERT_EQ(scope.launcher.calls.size(), 1u);
        EXPECT_EQ(scope.launcher.calls[0].program, test::IsolatedEnvironment::Root() + "/" + k.program);
        EXPECT_EQ(scope.launcher.calls[0].parameters, k.parameters);
    }
    EXPECT_TRUE(scope.window.Messages().empty());
}

TEST_F(SpreadsheetTest, FileThatCannotRunIsNoCandidate) {
    Install(first, "libreoffice", false);
    fs::create_directory(first + "/localc");
    Install(second, "gnumeric");
    const auto found = FindSpreadsheetProgram();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->program, second + "/gnumeric");
}

TEST_F(SpreadsheetTest, EmptyPathEntryStandsForTheWorkingDirectory) {
    Install(fs::current_path().string(), "tool");
    EXPECT_EQ(FindOnPath("tool", first + "::" + second), "./tool");
    EXPECT_EQ(FindOnPath("tool", first), std::nullopt);
}

} // namespace
} // namespace kantrel
