// A save killed at any moment leaves the old file or the new one, never a torn or empty
// file: a child process writes each of the program's files and is killed (SIGKILL)
// right after its first system call, then after its second, and so on, until a child
// gets to the end of the save.

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "support/file_writers.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

using test::FileWriter;
using test::WrittenFile;

class FileWritersCrashTest : public testing::TestWithParam<WrittenFile> {
protected:
    // Runs one save in a child that is killed after `killAfter` calls; true when the
    // child got to the end of the save instead (and the save worked).
    bool SaveInChild(int killAfter) {
        const pid_t pid = fork();
        if (pid == 0) {
            int calls = 0;
            test::InstalledFileCalls installed(test::CallsWithHook([&](std::string_view) {
                if (++calls == killAfter)
                    raise(SIGKILL);
            }));
            _exit(writer.Write().empty() ? 0 : 1);
        }
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), SIGKILL);
            return false;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return true;
    }

    FileWriter writer{GetParam(), test::TestFolder()};
};

INSTANTIATE_TEST_SUITE_P(Files, FileWritersCrashTest,
                         testing::Values(WrittenFile::DataFile, WrittenFile::Settings, WrittenFile::Language),
                         [](const auto& info) { return test::NameOf(info.param); });

TEST_P(FileWritersCrashTest, KilledAfterAnyCallLeavesTheOldOrTheNewFile) {
    int killAfter = 1;
    for (bool finished = false; !finished; ++killAfter) {
        SCOPED_TRACE(killAfter);
        ASSERT_LT(killAfter, 100) << "the save never finished";
        writer.PutOldFile();
        finished = SaveInChild(killAfter);
        const std::string bytes = test::ReadFileBytes(writer.path());
        if (finished)
            EXPECT_EQ(bytes, writer.newBytes());
        else
            EXPECT_TRUE(bytes == writer.oldBytes() || bytes == writer.newBytes()) << bytes;
    }
    // The save has a good many calls, each of which was a moment of death.
    EXPECT_GE(killAfter, 8);
}

} // namespace
} // namespace kantrel
