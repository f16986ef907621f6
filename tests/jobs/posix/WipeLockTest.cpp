// The wipe and the other jobs share files through whole-file locks: a file another job
// reads is refused, a stream handed over by its own job is taken over, and the name
// is deleted while the wipe still holds the file, only if it still names that file.
#include <filesystem>

#include <gtest/gtest.h>

#include "../JobDoubles.h"
#include "TestUtil.h"
#include "jobs/Wipe.h"

using namespace lwtest;
using lw::fs::TFileOp;
namespace fsys = std::filesystem;

namespace {

const Bytes kContent = RandomBytes(12000, 33);

enum class Handed { None, Writable, ReadOnly };
const char* Name(Handed handed)
{
    return handed == Handed::None ? "no stream" : handed == Handed::Writable ? "writable stream" : "read-only stream";
}

// A stream as a job leaves it: open on the file and holding its shared lock.
std::unique_ptr<lw::TFileStream> JobStream(Handed handed, const std::string& path)
{
    if (handed == Handed::None)
        return nullptr;
    auto stream = std::make_unique<lw::TFileStream>(
        path, handed == Handed::Writable ? lw::TFileMode::fmOpenReadWriteShared : lw::TFileMode::fmOpenReadShared);
    EXPECT_TRUE(stream->TryLock(false));
    return stream;
}

size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(fsys::directory_iterator("/proc/self/fd"), fsys::directory_iterator()));
}

} // namespace

TEST(WipeLocks, FileAnotherProcessReadsIsRefusedThenWipedOnceItEnds)
{
    for (Handed handed : {Handed::None, Handed::Writable, Handed::ReadOnly}) {
        SCOPED_TRACE(Name(handed));
        TempDir dir;
        const std::string path = dir / "f.bin";
        WriteFile(path, kContent);
        LockingReader reader(path);
        ASSERT_TRUE(reader.Locked());
        const size_t descriptors = OpenDescriptors();
        {
            FaultScope faults;
            ScriptedAsk ask({lw::mbOK});
            std::string why;
            EXPECT_NE(lw::WipeFile(JobStream(handed, path), path, ask, &why), lw::TWipeEnd::Deleted);
            EXPECT_EQ(why, "\"f.bin\" is in use by another Lockwell job");
            EXPECT_EQ(faults.Count(TFileOp::Write), 0);
            EXPECT_EQ(ask.boxes.size(), 1u);
        }
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
        EXPECT_TRUE(ReadFile(path) == kContent) << "a file in use was overwritten";

        reader.End();
        const size_t left = OpenDescriptors();
        ScriptedAsk ask({lw::mbOK});
        std::string why;
        EXPECT_EQ(lw::WipeFile(JobStream(handed, path), path, ask, &why), lw::TWipeEnd::Deleted) << why;
        EXPECT_FALSE(fsys::exists(path));
        EXPECT_EQ(OpenDescriptors(), left) << "a descriptor leaked";
    }
}

// The job's own shared lock is no obstacle: a writable stream's lock turns exclusive and
// the passes go through that stream; a read-only one gives way to a stream of the wipe's own.
TEST(WipeLocks, StreamHandedOverWithItsOwnSharedLockIsWiped)
{
    for (Handed handed : {Handed::Writable, Handed::ReadOnly}) {
        SCOPED_TRACE(Name(handed));
        TempDir dir;
        const std::string path = dir / "f.bin";
        WriteFile(path, kContent);
        const size_t descriptors = OpenDescriptors();
        FaultScope faults;
        std::vector<Put> puts;
        std::unique_ptr<lw::TFileStream> stream;
        if (handed == Handed::Writable) {
            stream = std::make_unique<ProbeFileStream>(path, puts, &faults);
            ASSERT_TRUE(stream->TryLock(false));
        } else {
            stream = JobStream(handed, path);
        }
        const int opens = faults.Count(TFileOp::Open);
        ScriptedAsk ask({lw::mbOK});
        std::string why;
        EXPECT_EQ(lw::WipeFile(std::move(stream), path, ask, &why), lw::TWipeEnd::Deleted) << why;
        EXPECT_FALSE(fsys::exists(path));
        EXPECT_EQ(faults.Count(TFileOp::Sync), 7);
        EXPECT_EQ(faults.Count(TFileOp::Open) - opens, handed == Handed::ReadOnly ? 1 : 0);
        EXPECT_EQ(puts.size(), handed == Handed::Writable ? 7u : 0u);
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
    }
}

TEST(WipeLocks, NameGivenToAnotherFileAfterTheStreamOpenedIsRefused)
{
    for (Handed handed : {Handed::Writable, Handed::ReadOnly}) {
        SCOPED_TRACE(Name(handed));
        TempDir dir;
        const std::string path = dir / "f.bin";
        WriteFile(path, kContent);
        auto stream = JobStream(handed, path);
        fsys::rename(path, dir / "moved.bin");
        const Bytes other = RandomBytes(12000, 34);
        WriteFile(path, other);
        FaultScope faults;
        ScriptedAsk ask({lw::mbOK});
        std::string why;
        EXPECT_NE(lw::WipeFile(std::move(stream), path, ask, &why), lw::TWipeEnd::Deleted);
        EXPECT_EQ(why, "\"f.bin\" is no longer the file that was opened");
        EXPECT_EQ(faults.Count(TFileOp::Write), 0);
        EXPECT_TRUE(ReadFile(dir / "moved.bin") == kContent);
        EXPECT_TRUE(ReadFile(path) == other);
    }
}

namespace {

// At the last flush, moves the file being wiped away and puts another under its name.
struct SwapAtLastFlush {
    std::string path, moved;
    Bytes other;
    int syncs = 0;
    static int Hook(TFileOp op, void* context)
    {
        auto& self = *static_cast<SwapAtLastFlush*>(context);
        if (op == TFileOp::Sync && ++self.syncs == 7) {
            fsys::rename(self.path, self.moved);
            WriteFile(self.path, self.other);
        }
        return op == TFileOp::Unlink ? EPERM : 0; // should the wipe try, the name stays for the checks
    }
};

// Tries, from a new open file of the name, the lock a reading job would take.
struct ProbeLockAt {
    std::string path;
    std::vector<std::pair<TFileOp, int>> results; // what LockFile gave at each probe
    static int Hook(TFileOp op, void* context)
    {
        auto& self = *static_cast<ProbeLockAt*>(context);
        if (op == TFileOp::Close || op == TFileOp::Unlink) {
            const int fd = ::open(self.path.c_str(), O_RDONLY | O_CLOEXEC);
            self.results.emplace_back(op, fd < 0 ? -1 : lw::fs::LockFile(fd, false));
            if (fd >= 0)
                ::close(fd);
        }
        return 0;
    }
};

} // namespace

TEST(WipeLocks, NameThatNoLongerLeadsToTheWipedFileIsNotDeleted)
{
    TempDir dir;
    SwapAtLastFlush swap{dir / "f.bin", dir / "moved.bin", RandomBytes(12000, 35)};
    WriteFile(swap.path, kContent);
    ScriptedAsk ask({lw::mbOK});
    std::string why;
    lw::fs::SetFaultHook(&SwapAtLastFlush::Hook, &swap);
    const bool deleted = (lw::WipeFile(nullptr, swap.path, ask, &why) == lw::TWipeEnd::Deleted);
    lw::fs::SetFaultHook(nullptr, nullptr);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(why, "\"f.bin\" was overwritten but could not be deleted: it was moved or replaced during the wipe");
    EXPECT_TRUE(ReadFile(swap.path) == swap.other) << "the file now under the name was touched";
    const Bytes wiped = ReadFile(swap.moved);
    ASSERT_EQ(wiped.size(), kContent.size());
    EXPECT_FALSE(wiped == kContent);
}

// Between the close and the delete no job may open the name and read noise: the wipe
// still holds its lock when it closes its stream and when it deletes the name.
TEST(WipeLocks, LockIsHeldThroughTheCloseUntilTheNameIsGone)
{
    TempDir dir;
    ProbeLockAt probe{dir / "f.bin", {}};
    WriteFile(probe.path, kContent);
    for (Handed handed : {Handed::None, Handed::Writable, Handed::ReadOnly}) {
        SCOPED_TRACE(Name(handed));
        WriteFile(probe.path, kContent);
        probe.results.clear();
        ScriptedAsk ask({lw::mbOK});
        auto stream = JobStream(handed, probe.path);
        lw::fs::SetFaultHook(&ProbeLockAt::Hook, &probe);
        const bool deleted = (lw::WipeFile(std::move(stream), probe.path, ask) == lw::TWipeEnd::Deleted);
        lw::fs::SetFaultHook(nullptr, nullptr);
        EXPECT_TRUE(deleted);
        // The read-only stream handed over is closed first, before the wipe holds the file.
        const std::vector<std::pair<TFileOp, int>> expected = {{TFileOp::Close, EAGAIN}, {TFileOp::Unlink, EAGAIN}};
        ASSERT_GE(probe.results.size(), 2u);
        EXPECT_EQ(std::vector(probe.results.end() - 2, probe.results.end()), expected);
    }
}
