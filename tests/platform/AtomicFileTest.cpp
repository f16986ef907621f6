#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

size_t Entries(const std::string& folder)
{
    return static_cast<size_t>(std::distance(fsys::directory_iterator(folder), fsys::directory_iterator()));
}

void Put(lw::TAtomicFile& file, const Bytes& data) { file.Stream().WriteBuffer(data); }

} // namespace

TEST(AtomicFile, CommitReplacesTheEarlierFileOnlyAtTheEnd)
{
    TempDir dir;
    WriteFile(dir / "out", {'o', 'l', 'd'});
    {
        lw::TAtomicFile file(dir / "out", 0640);
        EXPECT_EQ(fsys::path(file.TempPath()).parent_path(), fsys::path(dir.Path()));
        Put(file, {'n', 'e', 'w'});
        EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'o', 'l', 'd'}));
        file.Commit(lw::TCommitMode::Replace);
    }
    EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(Entries(dir.Path()), 1u);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // exactly, whatever the umask
}

TEST(AtomicFile, AbandonedOutputLeavesNothing)
{
    TempDir dir;
    WriteFile(dir / "out", {'o', 'l', 'd'});
    {
        lw::TAtomicFile file(dir / "out", 0600);
        Put(file, RandomBytes(100000, 1));
        EXPECT_EQ(Entries(dir.Path()), 2u);
    }
    EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(AtomicFile, ASymlinkAtTheOutputIsReplacedNotFollowed)
{
    TempDir dir;
    WriteFile(dir / "target", {'t'});
    fsys::create_symlink(dir / "target", dir / "link");
    lw::TAtomicFile file(dir / "link", 0600);
    Put(file, {'n'});
    file.Commit(lw::TCommitMode::Replace);
    EXPECT_FALSE(fsys::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "link"), Bytes{'n'});
    EXPECT_EQ(ReadFile(dir / "target"), Bytes{'t'});
}

TEST(AtomicFile, FailuresNameTheOutputAndLeaveNothing)
{
    TempDir dir;
    fsys::create_directory(dir / "folder");
    try {
        lw::TAtomicFile file(dir / "folder", 0600);
        ADD_FAILURE() << "a folder was taken as output";
    } catch (const lw::EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + (dir / "folder") + "\". Is a directory");
    }
    try {
        lw::TAtomicFile file(dir / "missing/out", 0600);
        ADD_FAILURE() << "created in a missing folder";
    } catch (const lw::EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + (dir / "missing/out") + "\". No such file or directory");
    }
    struct Hook {
        static int Fail(lw::fs::TFileOp op, void*) { return op == lw::fs::TFileOp::Rename ? EXDEV : 0; }
    };
    WriteFile(dir / "out", {'o'});
    {
        lw::TAtomicFile file(dir / "out", 0600);
        Put(file, {'n'});
        lw::fs::SetFaultHook(&Hook::Fail, nullptr);
        EXPECT_THROW(file.Commit(lw::TCommitMode::Replace), lw::EFileError);
        lw::fs::SetFaultHook(nullptr, nullptr);
    }
    EXPECT_EQ(ReadFile(dir / "out"), Bytes{'o'});
    EXPECT_EQ(Entries(dir.Path()), 2u); // "folder" and "out"
}
