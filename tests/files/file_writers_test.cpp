// Every file the program writes (the data file, the settings file, the language file) is
// written through one safe replacement: links, permissions, owners, other programs'
// files, and faults on the way all behave alike for the three.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/replace_file.h"
#include "support/file_writers.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using test::FileWriter;
using test::InstalledFileCalls;
using test::ReadFileBytes;
using test::WriteFileBytes;
using test::WrittenFile;

class FileWritersTest : public testing::TestWithParam<WrittenFile> {
protected:
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(writer.folder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string FileName() const { return fs::path(writer.path()).filename().string(); }
    static void ExpectMentions(const std::string& message, const std::string& what) {
        EXPECT_NE(message.find(what), std::string::npos) << message;
    }
    // The operator was told which file and why, and the old file is there as it was,
    // with nothing left beside it.
    void ExpectOldFileAndMessage(const std::string& message, const std::string& cause) const {
        ExpectMentions(message, writer.path());
        ExpectMentions(message, cause);
        EXPECT_EQ(ReadFileBytes(writer.path()), writer.oldBytes());
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName()});
    }

    FileWriter writer{GetParam(), test::TestFolder()};
};

INSTANTIATE_TEST_SUITE_P(Files, FileWritersTest,
                         testing::Values(WrittenFile::DataFile, WrittenFile::Settings, WrittenFile::Language),
                         [](const auto& info) { return test::NameOf(info.param); });

TEST_P(FileWritersTest, ReplacesTheFileAndLeavesNothingBesideIt) {
    writer.PutOldFile();
    EXPECT_EQ(writer.Write(), "");
    EXPECT_EQ(ReadFileBytes(writer.path()), writer.newBytes());
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName()});
}

// Another program's file at the name a temporary file once had is none of our business.
TEST_P(FileWritersTest, FilesOfOtherProgramsBesideItAreLeftAlone) {
    const std::string other = writer.folder() + "/other.txt";
    const std::string oldTemporary = writer.path() + ".tmp";
    struct Case {
        const char* name;
        bool link;
    } cases[] = {{"a link to another file", true}, {"a file another program writes", false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        writer.PutOldFile();
        WriteFileBytes(other, "another file");
        fs::remove(oldTemporary);
        if (k.link)
            fs::create_symlink(other, oldTemporary);
        else
            WriteFileBytes(oldTemporary, "being written");
        EXPECT_EQ(writer.Write(), "");
        EXPECT_EQ(ReadFileBytes(writer.path()), writer.newBytes());
        EXPECT_EQ(ReadFileBytes(other), "another file");
        EXPECT_EQ(fs::is_symlink(oldTemporary), k.link);
        if (!k.link) {
            EXPECT_EQ(ReadFileBytes(oldTemporary), "being written");
        }
    }
}

TEST_P(FileWritersTest, LinksAreWrittenThroughToTheirFile) {
    const std::string real = writer.folder() + "/real/file";
    const std::string middle = writer.folder() + "/middle";
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links; // link, what it points to
        bool targetExists;
    } cases[] = {
        {"absolute link", {{writer.path(), real}}, true},
        {"relative link", {{writer.path(), "real/file"}}, true},
        {"link to a link", {{writer.path(), middle}, {middle, real}}, true},
        {"link to a file not yet there", {{writer.path(), real}}, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        fs::remove(writer.path());
        fs::remove(middle);
        fs::remove_all(writer.folder() + "/real");
        fs::create_directories(writer.folder() + "/real");
        if (k.targetExists)
            WriteFileBytes(real, writer.oldBytes());
        for (const auto& [link, target] : k.links)
            fs::create_symlink(target, link);
        EXPECT_EQ(writer.Write(), "");
        EXPECT_TRUE(fs::is_symlink(writer.path()));
        EXPECT_EQ(ReadFileBytes(real), k.targetExists ? writer.newBytes() : writer.createdBytes());
    }
}

TEST_P(FileWritersTest, PermissionsAreKept) {
    for (const mode_t mode : {0600, 0640, 0604, 0660}) {
        SCOPED_TRACE(mode);
        writer.PutOldFile();
        ASSERT_EQ(chmod(writer.path().c_str(), mode), 0);
        EXPECT_EQ(writer.Write(), "");
        struct stat info {};
        ASSERT_EQ(stat(writer.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
    }
}

// Root can give the new file the old file's owner; another user's save asks for it too
// (and gets it where the system allows, for a group of its own).
TEST_P(FileWritersTest, OwnerIsKept) {
    const bool root = geteuid() == 0;
    writer.PutOldFile();
    std::vector<std::pair<uid_t, gid_t>> owners;
    InstalledFileCalls installed(FileCalls::System());
    installed.calls().fchown = [&](int fd, uid_t owner, gid_t group) {
        owners.emplace_back(owner, group);
        return root ? ::fchown(fd, owner, group) : 0;
    };
    if (root) {
        ASSERT_EQ(chown(writer.path().c_str(), 4242, 4343), 0);
    } else {
        // Only root can hand a file to another user: the old file says it belongs to one.
        installed.calls().stat = [path = writer.path()](const char* name, struct stat* info) {
            const int result = ::stat(name, info);
            if (result == 0 && name == path) {
                info->st_uid = 4242;
                info->st_gid = 4343;
            }
            return result;
        };
    }
    EXPECT_EQ(writer.Write(), "");
    ASSERT_FALSE(owners.empty());
    EXPECT_EQ(owners.front(), (std::pair<uid_t, gid_t>(4242, 4343)));
    if (root) {
        struct stat info {};
        ASSERT_EQ(stat(writer.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 4242u);
        EXPECT_EQ(info.st_gid, 4343u);
    }
}

TEST_P(FileWritersTest, FileTheUserMayNotWriteIsNotReplaced) {
    writer.PutOldFile();
    ASSERT_EQ(chmod(writer.path().c_str(), 0444), 0);
    // Root may write any file: the check answers as it does for every other user.
    InstalledFileCalls installed(FileCalls::System());
    installed.calls().access = [](const char* name, int mode) {
        struct stat info {};
        if ((mode & W_OK) != 0 && ::stat(name, &info) == 0 && (info.st_mode & 0222) == 0) {
            errno = EACCES;
            return -1;
        }
        return ::access(name, mode);
    };
    ExpectOldFileAndMessage(writer.Write(), "Permission denied");
}

// The new bytes are on the disk before the rename, and the rename is on the disk before
// the save reports success.
TEST_P(FileWritersTest, FileAndFolderAreFlushed) {
    writer.PutOldFile();
    std::vector<std::string> calls;
    InstalledFileCalls installed(
        test::CallsWithHook([&](std::string_view call) { calls.emplace_back(call); }));
    EXPECT_EQ(writer.Write(), "");
    const auto rename = std::find(calls.begin(), calls.end(), "rename");
    ASSERT_NE(rename, calls.end());
    EXPECT_NE(std::find(calls.begin(), rename, "fsync"), rename);
    EXPECT_NE(std::find(rename, calls.end(), "fsync"), calls.end());
}

// --- Faults on the way: the old file stays, the operator is told, the program goes on.

FileCalls WriteStopsHalfWay(int error) {
    FileCalls calls = FileCalls::System();
    calls.write = [error, writes = 0](int fd, const void* data, std::size_t size) mutable -> ssize_t {
        if (writes++ > 0 || size < 2) {
            errno = error;
            return -1;
        }
        return ::write(fd, data, size / 2);
    };
    return calls;
}

FileCalls Failing(std::function<void(FileCalls&)> change) {
    FileCalls calls = FileCalls::System();
    change(calls);
    return calls;
}

// A folder in which no file can be created; its files can still be written.
FileCalls FolderWithoutCreate(FileCalls calls) {
    calls.open = [](const char* name, int flags, mode_t mode) {
        if ((flags & O_CREAT) != 0) {
            errno = EACCES;
            return -1;
        }
        return ::open(name, flags, mode);
    };
    return calls;
}

TEST_P(FileWritersTest, FaultsLeaveTheOldFileAndSaySo) {
    struct Case {
        const char* name;
        FileCalls calls;
        const char* cause;
    } cases[] = {
        {"disk full half-way", WriteStopsHalfWay(ENOSPC), "No space left on device"},
        {"write error half-way", WriteStopsHalfWay(EIO), "Input/output error"},
        {"read-only file system", Failing([](FileCalls& c) {
             c.open = [](const char* name, int flags, mode_t mode) {
                 if ((flags & (O_WRONLY | O_RDWR)) != 0) {
                     errno = EROFS;
                     return -1;
                 }
                 return ::open(name, flags, mode);
             };
         }),
         "Read-only file system"},
        {"flush fails", Failing([](FileCalls& c) {
             c.fsync = [](int) {
                 errno = EIO;
                 return -1;
             };
         }),
         "Input/output error"},
        {"rename fails", Failing([](FileCalls& c) {
             c.rename = [](const char*, const char*) {
                 errno = EBUSY;
                 return -1;
             };
         }),
         "Device or resource busy"},
        {"folder without create, disk full", Failing([](FileCalls& c) {
             c = FolderWithoutCreate(c);
             c.allocate = [](int, off_t, off_t) {
                 errno = ENOSPC;
                 return -1;
             };
         }),
         "No space left on device"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        writer.PutOldFile();
        std::string message;
        {
            InstalledFileCalls installed(k.calls);
            message = writer.Write();
        }
        ExpectOldFileAndMessage(message, k.cause);
        // Once the fault is gone, the next write works.
        EXPECT_EQ(writer.Write(), "");
        EXPECT_EQ(ReadFileBytes(writer.path()), writer.newBytes());
    }
}

TEST_P(FileWritersTest, FileSizeLimitLeavesTheOldFile) {
    IgnoreFileSizeLimitSignal();
    writer.PutOldFile();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string message = writer.Write();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    ExpectOldFileAndMessage(message, "File too large");
}

// A folder that lets nothing be created (for example one of another user's, where the
// file was made writable for us): the file is written in place.
TEST_P(FileWritersTest, FolderWithoutCreateWritesTheFileInPlace) {
    writer.PutOldFile();
    struct stat before {};
    ASSERT_EQ(stat(writer.path().c_str(), &before), 0);
    {
        InstalledFileCalls installed(FolderWithoutCreate(FileCalls::System()));
        EXPECT_EQ(writer.Write(), "");
    }
    EXPECT_EQ(ReadFileBytes(writer.path()), writer.newBytes());
    struct stat after {};
    ASSERT_EQ(stat(writer.path().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // Without a file there, nothing can be written.
    fs::remove(writer.path());
    InstalledFileCalls installed(FolderWithoutCreate(FileCalls::System()));
    const std::string message = writer.Write();
    ExpectMentions(message, writer.path());
    ExpectMentions(message, "Permission denied");
    EXPECT_TRUE(FolderEntries().empty());
}

} // namespace
} // namespace kantrel
