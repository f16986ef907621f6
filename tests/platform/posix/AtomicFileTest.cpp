#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/TempFileCleanup.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

size_t Entries(const std::string& folder)
{
    return static_cast<size_t>(std::distance(fsys::directory_iterator(folder), fsys::directory_iterator()));
}

void Put(lw::TAtomicFile& file, const Bytes& data)
{
    file.Stream().WriteBuffer(data);
}

const char* kStale = ".lockwell-000000000000.tmp";

// Rows run with unnamed working files (where the file system has them) and with the
// named fallback that the test seam forces.
class AtomicFileModes : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (Named())
            lw::fs::AllowUnnamedFiles(false);
        else
            lw::fs::AllowUnnamedFiles(true);
    }
    void TearDown() override { lw::fs::AllowUnnamedFiles(true); }
    bool Named() const { return GetParam(); }
    // False (and the row skipped) when unnamed files were asked for and the system has none.
    bool ModeAsAsked(const lw::TAtomicFile& file)
    {
        EXPECT_EQ(file.TempPath().empty(), file.Unnamed());
        return Named() ? !file.Unnamed() : file.Unnamed();
    }
};

std::string ModeName(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "Named" : "Unnamed";
}

void ExpectCommittedIs(const lw::TAtomicFile& file, const std::string& path, int64_t size)
{
    lw::fs::TFileIdentity there;
    ASSERT_TRUE(lw::fs::IdentityAt(path, there));
    EXPECT_TRUE(there.SameFile(file.Committed()));
    EXPECT_EQ(file.Committed().size, size);
}

} // namespace

TEST_P(AtomicFileModes, CommitReplacesTheEarlierFileOnlyAtTheEnd)
{
    TempDir dir;
    WriteFile(dir / "out", {'o', 'l', 'd'});
    {
        lw::TAtomicFile file(dir / "out", 0640);
        if (!ModeAsAsked(file))
            GTEST_SKIP() << "this file system has no unnamed files";
        if (Named()) {
            EXPECT_EQ(fsys::path(file.TempPath()).parent_path(), fsys::path(dir.Path()));
        }
        Put(file, {'n', 'e', 'w'});
        EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(Entries(dir.Path()), Named() ? 2u : 1u); // an unnamed file shows nowhere
        file.Commit(lw::TCommitMode::Replace);
        ExpectCommittedIs(file, dir / "out", 3);
    }
    EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(Entries(dir.Path()), 1u);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // exactly, whatever the umask
}

TEST_P(AtomicFileModes, NoReplaceCommitsWhereNothingIs)
{
    TempDir dir;
    const Bytes data = RandomBytes(70000, 3);
    lw::TAtomicFile file(dir / "out", 0604);
    if (!ModeAsAsked(file))
        GTEST_SKIP() << "this file system has no unnamed files";
    Put(file, data);
    file.Commit(lw::TCommitMode::NoReplace);
    EXPECT_EQ(ReadFile(dir / "out"), data);
    EXPECT_EQ(Entries(dir.Path()), 1u);
    ExpectCommittedIs(file, dir / "out", static_cast<int64_t>(data.size()));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST_P(AtomicFileModes, NoReplaceKeepsWhatAppearedAtThePath)
{
    struct Row {
        const char* name;
        bool symlink;      // a symlink appeared instead of a file
        bool targetExists; // ... pointing at an existing file, or nowhere
    };
    const Row rows[] = {
        {"a file", false, false}, {"a symlink to a file", true, true}, {"a dangling symlink", true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const Bytes stranger = RandomBytes(5000, 9);
        lw::TAtomicFile file(dir / "out", 0600);
        if (!ModeAsAsked(file))
            GTEST_SKIP() << "this file system has no unnamed files";
        Put(file, RandomBytes(90000, 8));
        if (!row.symlink) {
            WriteFile(dir / "out", stranger);
        } else {
            if (row.targetExists)
                WriteFile(dir / "target", stranger);
            fsys::create_symlink(dir / "target", dir / "out");
        }
        try {
            file.Commit(lw::TCommitMode::NoReplace);
            ADD_FAILURE() << "replaced what appeared";
        } catch (const lw::EFileError& e) {
            EXPECT_EQ(e.Message(), "Cannot create file \"" + (dir / "out") +
                                       "\". A file of that name appeared while the job ran and was left alone.");
        }
        EXPECT_EQ(fsys::is_symlink(dir / "out"), row.symlink);
        EXPECT_EQ(fsys::exists(dir / "target"), row.targetExists) << "written through the symlink";
        if (!row.symlink || row.targetExists) {
            EXPECT_EQ(ReadFile(dir / "out"), stranger);
        }
        EXPECT_EQ(Entries(dir.Path()), row.targetExists ? 2u : 1u) << "a working file stayed";
    }
}

TEST_P(AtomicFileModes, AbandonedOutputLeavesNothing)
{
    TempDir dir;
    WriteFile(dir / "out", {'o', 'l', 'd'});
    {
        lw::TAtomicFile file(dir / "out", 0600);
        if (!ModeAsAsked(file))
            GTEST_SKIP() << "this file system has no unnamed files";
        Put(file, RandomBytes(100000, 1));
        EXPECT_EQ(Entries(dir.Path()), Named() ? 2u : 1u);
    }
    EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST_P(AtomicFileModes, ASymlinkAtTheOutputIsReplacedNotFollowed)
{
    TempDir dir;
    WriteFile(dir / "target", {'t'});
    fsys::create_symlink(dir / "target", dir / "link");
    lw::TAtomicFile file(dir / "link", 0600);
    if (!ModeAsAsked(file))
        GTEST_SKIP() << "this file system has no unnamed files";
    Put(file, {'n'});
    file.Commit(lw::TCommitMode::Replace);
    EXPECT_FALSE(fsys::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "link"), Bytes{'n'});
    EXPECT_EQ(ReadFile(dir / "target"), Bytes{'t'});
}

TEST_P(AtomicFileModes, FailuresNameTheOutputAndLeaveNothing)
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
}

// Each step of a commit failing once: the commit throws and the folder is as it was.
TEST_P(AtomicFileModes, AFailedCommitLeavesTheFolderAsItWas)
{
    using lw::fs::TFileOp;
    struct Fault {
        static int Hook(TFileOp op, void* context)
        {
            auto& self = *static_cast<Fault*>(context);
            if (op != self.op || self.hits > 0)
                return 0;
            ++self.hits;
            return EIO;
        }
        TFileOp op;
        int hits = 0;
    };
    for (TFileOp op : {TFileOp::Sync, TFileOp::Link, TFileOp::Close, TFileOp::Rename})
        for (lw::TCommitMode mode : {lw::TCommitMode::Replace, lw::TCommitMode::NoReplace}) {
            const bool replace = mode == lw::TCommitMode::Replace;
            SCOPED_TRACE(std::to_string(static_cast<int>(op)) + (replace ? " replace" : " no-replace"));
            // Named working files are never linked; unnamed ones are renamed only to replace.
            const bool reached = (op != TFileOp::Link || !Named()) && (op != TFileOp::Rename || Named() || replace);
            TempDir dir;
            if (replace)
                WriteFile(dir / "out", {'o'});
            Fault fault{op};
            {
                lw::TAtomicFile file(dir / "out", 0600);
                if (!ModeAsAsked(file))
                    GTEST_SKIP() << "this file system has no unnamed files";
                Put(file, {'n'});
                lw::fs::SetFaultHook(&Fault::Hook, &fault);
                if (reached) {
                    EXPECT_THROW(file.Commit(mode), lw::EFileError);
                } else {
                    EXPECT_NO_THROW(file.Commit(mode));
                }
                lw::fs::SetFaultHook(nullptr, nullptr);
            }
            EXPECT_EQ(fault.hits, reached ? 1 : 0);
            if (!reached)
                continue;
            EXPECT_EQ(Entries(dir.Path()), replace ? 1u : 0u);
            if (replace) {
                EXPECT_EQ(ReadFile(dir / "out"), Bytes{'o'});
            }
        }
}

INSTANTIATE_TEST_SUITE_P(WorkingFiles, AtomicFileModes, ::testing::Bool(), ModeName);

// FAT through FUSE refuses both the rename flag and hard links: the commit claims the
// name with an empty file of its own and renames over that, never over another's file.
TEST(AtomicFileOnFuse, CommitsWithoutRenameFlagsOrLinks)
{
    const FuseFatMount fat;
    if (!fat.Skip().empty())
        GTEST_SKIP() << fat.Skip();
    for (bool taken : {false, true}) {
        SCOPED_TRACE(taken ? "a file at the name" : "nothing at the name");
        const std::string out = fat / (taken ? "taken" : "free");
        if (taken)
            WriteFile(out, {'o', 'l', 'd'});
        const Bytes data = RandomBytes(70000, 4);
        lw::TAtomicFile file(out, 0600);
        EXPECT_FALSE(file.Unnamed());
        Put(file, data);
        if (taken) {
            EXPECT_THROW(file.Commit(lw::TCommitMode::NoReplace), lw::EFileError);
        } else {
            file.Commit(lw::TCommitMode::NoReplace);
        }
        EXPECT_EQ(ReadFile(out), taken ? Bytes({'o', 'l', 'd'}) : data);
    }
    EXPECT_EQ(Listing(fat.Path()), (std::vector<std::string>{"free", "taken"}));
}

// A child process interrupted while it writes: the cleanup removes its named working
// file and nothing else, and the signal still ends it.
TEST(TempFileCleanup, AnInterruptedProcessLeavesNoWorkingFile)
{
    struct Row {
        int signal;
        bool named;
        bool ignored; // the process was started ignoring the signal
    };
    const Row rows[] = {{SIGINT, true, false},
                        {SIGTERM, true, false},
                        {SIGHUP, true, false},
                        {SIGTERM, false, false},
                        {SIGHUP, true, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(strsignal(row.signal)) + (row.named ? " named" : " unnamed") +
                     (row.ignored ? " ignored" : ""));
        TempDir dir;
        WriteFile(dir / kStale, {'s', 't', 'a', 'l', 'e'});
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (row.named)
                lw::fs::AllowUnnamedFiles(false);
            else
                lw::fs::AllowUnnamedFiles(true);
            if (row.ignored)
                ::signal(row.signal, SIG_IGN);
            lw::InstallTempFileCleanup();
            lw::TAtomicFile file(dir / "out", 0600);
            Put(file, RandomBytes(50000, 2));
            const char named = file.Unnamed() ? 'u' : 'n';
            if (::write(ready[1], &named, 1) != 1)
                ::_exit(3);
            ::raise(row.signal);
            // Only an ignored signal gets here.
            ::_exit(fsys::exists(file.TempPath()) ? 0 : 4);
        }
        ::close(ready[1]);
        char named = 0;
        EXPECT_EQ(::read(ready[0], &named, 1), 1);
        ::close(ready[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (row.ignored) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal) << "status " << status;
        }
        EXPECT_EQ(named, row.named ? 'n' : 'u');
        // Nothing of the child's; the stale file of an earlier crash is not its to remove.
        // Ignoring the signal, it went on with its working file, then left by _exit.
        EXPECT_EQ(Entries(dir.Path()), row.ignored ? 2u : 1u);
        EXPECT_EQ(ReadFile(dir / kStale), (Bytes{'s', 't', 'a', 'l', 'e'}));
    }
}
