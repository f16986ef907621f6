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
            const WipeRun refused = Wipe(path, JobStream(handed, path));
            EXPECT_FALSE(refused.Deleted());
            EXPECT_EQ(refused.reason, "\"f.bin\" is in use by another Lockwell job");
            EXPECT_EQ(faults.Count(TFileOp::Write), 0);
            EXPECT_EQ(refused.boxes, 1u);
        }
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
        EXPECT_TRUE(ReadFile(path) == kContent) << "a file in use was overwritten";

        reader.End();
        const size_t left = OpenDescriptors();
        EXPECT_TRUE(Wipe(path, JobStream(handed, path)).Deleted());
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
        const WipeRun run = Wipe(path, std::move(stream));
        EXPECT_TRUE(run.Deleted()) << run.reason;
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
        const WipeRun run = Wipe(path, std::move(stream));
        EXPECT_FALSE(run.Deleted());
        EXPECT_EQ(run.reason, "\"f.bin\" is no longer the file that was opened");
        EXPECT_EQ(faults.Count(TFileOp::Write), 0);
        EXPECT_TRUE(ReadFile(dir / "moved.bin") == kContent);
        EXPECT_TRUE(ReadFile(path) == other);
    }
}

TEST(WipeLocks, NameThatNoLongerLeadsToTheWipedFileIsNotDeleted)
{
    TempDir dir;
    const std::string path = dir / "f.bin";
    const Bytes other = RandomBytes(12000, 35);
    WriteFile(path, kContent);
    WipeRun run;
    {
        // At the last flush, moves the file being wiped away and puts another under its name.
        FaultScope swap([&](TFileOp op, int nth) {
            if (op == TFileOp::Sync && nth == 7) {
                fsys::rename(path, dir / "moved.bin");
                WriteFile(path, other);
            }
            return op == TFileOp::Unlink ? EPERM : 0; // should the wipe try, the name stays for the checks
        });
        run = Wipe(path);
    }
    EXPECT_FALSE(run.Deleted());
    EXPECT_EQ(run.reason,
              "\"f.bin\" was overwritten but could not be deleted: it was moved or replaced during the wipe");
    EXPECT_TRUE(ReadFile(path) == other) << "the file now under the name was touched";
    const Bytes wiped = ReadFile(dir / "moved.bin");
    ASSERT_EQ(wiped.size(), kContent.size());
    EXPECT_FALSE(wiped == kContent);
}

// Between the close and the delete no job may open the name and read noise: the wipe
// still holds its lock when it closes its stream and when it deletes the name.
TEST(WipeLocks, LockIsHeldThroughTheCloseUntilTheNameIsGone)
{
    TempDir dir;
    const std::string path = dir / "f.bin";
    for (Handed handed : {Handed::None, Handed::Writable, Handed::ReadOnly}) {
        SCOPED_TRACE(Name(handed));
        WriteFile(path, kContent);
        std::vector<std::pair<TFileOp, int>> probes; // what a reading job's lock gave, from a new open of the name
        auto stream = JobStream(handed, path);
        WipeRun run;
        {
            FaultScope probe([&](TFileOp op, int) {
                if (op == TFileOp::Close || op == TFileOp::Unlink) {
                    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
                    probes.emplace_back(op, fd < 0 ? -1 : lw::fs::LockFile(fd, false));
                    if (fd >= 0)
                        ::close(fd);
                }
                return 0;
            });
            run = Wipe(path, std::move(stream));
        }
        EXPECT_TRUE(run.Deleted());
        // The read-only stream handed over is closed first, before the wipe holds the file.
        const std::vector<std::pair<TFileOp, int>> expected = {{TFileOp::Close, EAGAIN}, {TFileOp::Unlink, EAGAIN}};
        ASSERT_GE(probes.size(), 2u);
        EXPECT_EQ(std::vector(probes.end() - 2, probes.end()), expected);
    }
}
