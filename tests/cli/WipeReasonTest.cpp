// lockwell-cli wipe says, after "File NOT deleted", why not; and on a file system that
// keeps old copies it says so before the question, with the file system's reason.
#include <filesystem>

#include <gtest/gtest.h>

#include "../jobs/JobDoubles.h"
#include "CliRun.h"
#include "TestUtil.h"

using namespace lwtest;
namespace fsys = std::filesystem;

TEST(CliWipe, ReasonFollowsFileNotDeleted)
{
    TempDir dir;
    const Bytes content = RandomBytes(7000, 8);
    WriteFile(dir / "target.bin", content);
    fsys::create_symlink("target.bin", dir / "l");
    CliResult r = RunCli({"wipe", "--yes", dir / "l"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, ToolWipeLines(dir / "l", true, Warned(r.err)) +
                         "File NOT deleted\n\"l\" is a symbolic link: only the file itself can be wiped\n");
    EXPECT_TRUE(fsys::is_symlink(dir / "l"));
    EXPECT_TRUE(ReadFile(dir / "target.bin") == content);

    // A job that was to wipe a file with another (hard-linked) name keeps it, and says why.
    WriteFile(dir / "h", content);
    WriteFile(dir / "p", {'p'});
    fsys::create_hard_link(dir / "h", dir / "h-backup");
    r = RunCli({"encrypt", "--delete-source", "--yes", "--phrase-file", dir / "p", dir / "h"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Source kept: \"h\" has 1 other name; the wipe would destroy their data too\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(ReadFile(dir / "h-backup") == content);

    // A file another job reads: SourceSafety.WipeOfAFileAJobReadsIsRefused.
}

TEST(CliWipe, QuestionOnTmpfsHasTheOldCopiesLine)
{
    if (FileSystemType("/dev/shm") != kTmpfs || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no writable tmpfs at /dev/shm";
    }
    TempDir dir("/dev/shm");
    WriteFile(dir / "w", RandomBytes(7000, 9));
    const CliResult r = RunCli({"wipe", "--yes", dir / "w"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, std::string(kSwapLine) + "\nFile deleted\n") << "the reason the file system gives, no question";
    EXPECT_FALSE(fsys::exists(dir / "w"));
}
