#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "TestUtil.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/MemoryStream.h"
#include "platform/WipeChecks.h"

using namespace lw;
using lwtest::Bytes;

namespace {

// Delivers at most `chunk` bytes a read, to show CopyFrom needs whole pieces.
class TChunkyStream final : public TMemoryStream {
public:
    int64_t chunk = 1 << 30;
    std::vector<int64_t> reads;
    int64_t Read(std::span<uint8_t> buffer) override
    {
        reads.push_back(static_cast<int64_t>(buffer.size()));
        return TMemoryStream::Read(buffer.first(std::min<size_t>(buffer.size(), static_cast<size_t>(chunk))));
    }
};

} // namespace

TEST(MemoryStream, ReadWriteSeekAndSize)
{
    TMemoryStream s;
    EXPECT_EQ(s.Write(Bytes{1, 2, 3, 4, 5}), 5);
    EXPECT_EQ(s.Position(), 5);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 3);
    Bytes buf(10);
    EXPECT_EQ(s.Read(buf), 2);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(s.Read(buf), 0);
    s.SetPosition(7); // writing past the end fills the gap with zeros
    s.Write(Bytes{9});
    EXPECT_EQ(s.Data(), (Bytes{1, 2, 3, 4, 5, 0, 0, 9}));
    EXPECT_EQ(s.Seek(-1, TSeekOrigin::soCurrent), 7);
}

TEST(Stream, ExactTransfersRaiseOnShortCounts)
{
    TMemoryStream s;
    s.Write(Bytes(10, 1));
    s.SetPosition(0);
    Bytes buf(11);
    try {
        s.ReadBuffer(buf);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    class TFull final : public TMemoryStream {
        int64_t Write(std::span<const uint8_t> b) override
        {
            return b.empty() ? 0 : static_cast<int64_t>(b.size()) - 1;
        }
    } full;
    try {
        full.WriteBuffer(Bytes(3, 0));
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    full.WriteBuffer({}); // nothing to write is no failure
}

TEST(Stream, CopyFromPiecesAndWholeSource)
{
    struct Case {
        int64_t count;
        int64_t startPos;
        std::vector<int64_t> reads;
    };
    const Case cases[] = {
        {0, 5000, {61440, 61440, 7120}}, // 0: whole source from position 0
        {61440, 0, {61440}},
        {61441, 0, {61440, 1}},
        {100, 10, {100}},
    };
    const Bytes data = lwtest::RandomBytes(130000, 2);
    for (const auto& c : cases) {
        TChunkyStream src;
        src.Write(data);
        src.SetPosition(c.startPos);
        TMemoryStream dst;
        EXPECT_EQ(dst.CopyFrom(src, c.count), c.count == 0 ? 130000 : c.count);
        EXPECT_EQ(src.reads, c.reads);
        const int64_t from = c.count == 0 ? 0 : c.startPos;
        EXPECT_EQ(dst.Data(), Bytes(data.begin() + from, data.begin() + from + dst.Size()));
    }
    TChunkyStream chunky;
    chunky.chunk = 1000;
    chunky.Write(data);
    TMemoryStream dst;
    EXPECT_THROW(dst.CopyFrom(chunky, 0), EReadError);
}

TEST(FileStream, OpenModes)
{
    lwtest::TempDir dir;
    const std::string path = dir / "a.bin";
    try {
        TFileStream missing(path, TFileMode::fmOpenReadShared);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    {
        TFileStream f(path, TFileMode::fmCreate);
        f.WriteBuffer(Bytes{1, 2, 3});
        f.FlushToDisk();
    }
    {
        TFileStream f(path, TFileMode::fmOpenReadWriteShared);
        EXPECT_EQ(f.Size(), 3);
        f.Seek(0, TSeekOrigin::soEnd);
        f.WriteBuffer(Bytes{4});
    }
    {
        TFileStream f(path, TFileMode::fmOpenReadShared);
        Bytes all(4);
        f.ReadBuffer(all);
        EXPECT_EQ(all, (Bytes{1, 2, 3, 4}));
        try {
            f.Write(Bytes{9});
            ADD_FAILURE() << "wrote to a read-only stream";
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), "Bad file descriptor while writing " + path);
        }
    }
    {
        TFileStream f(path, TFileMode::fmCreate); // truncates
        EXPECT_EQ(f.Size(), 0);
    }
    if (geteuid() != 0) {
        chmod(path.c_str(), 0444);
        EXPECT_THROW(TFileStream(path, TFileMode::fmOpenReadWriteShared), EFOpenError);
    }
}

TEST(FileStream, RefusesFoldersFifosAndExistingNamesForNewFiles)
{
    lwtest::TempDir dir;
    EXPECT_THROW(TFileStream(dir.Path(), TFileMode::fmOpenReadShared), EFOpenError);
    EXPECT_THROW(TFileStream(dir.Path(), TFileMode::fmCreate), EFOpenError);
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(TFileStream(fifo, TFileMode::fmOpenReadShared), EFOpenError); // and does not hang

    const std::string target = dir / "target";
    lwtest::WriteFile(target, Bytes{1});
    EXPECT_THROW(TFileStream::CreateNew(target, 0600), EFOpenError);
    const std::string link = dir / "link";
    ASSERT_EQ(symlink((dir / "nowhere").c_str(), link.c_str()), 0);
    EXPECT_THROW(TFileStream::CreateNew(link, 0600), EFOpenError); // never through a symlink
    EXPECT_FALSE(fs::FileExists(dir / "nowhere"));

    auto created = TFileStream::CreateNew(dir / "new", 0640);
    EXPECT_EQ(fs::FileMode(created->Handle()), mode_t(0640));
}

TEST(FileStream, PositionsBeyondFourGiB)
{
    lwtest::TempDir dir;
    const std::string path = dir / "sparse";
    const int64_t far = (int64_t(5) << 30) + 7;
    {
        TFileStream f(path, TFileMode::fmCreate);
        EXPECT_EQ(f.Seek(far, TSeekOrigin::soBeginning), far);
        f.WriteBuffer(Bytes{0xAB});
        EXPECT_EQ(f.Size(), far + 1);
        EXPECT_EQ(f.Position(), far + 1);
    }
    TFileStream f(path, TFileMode::fmOpenReadShared);
    f.Seek(-1, TSeekOrigin::soEnd);
    Bytes b(1);
    f.ReadBuffer(b);
    EXPECT_EQ(b[0], 0xAB);
}

TEST(FileSystem, FileExistsMeansARegularFileAfterLinks)
{
    lwtest::TempDir dir;
    lwtest::WriteFile(dir / "file", Bytes{1});
    ASSERT_EQ(symlink((dir / "file").c_str(), (dir / "good").c_str()), 0);
    ASSERT_EQ(symlink((dir / "missing").c_str(), (dir / "dangling").c_str()), 0);
    ASSERT_EQ(symlink((dir / "loop").c_str(), (dir / "loop").c_str()), 0);
    EXPECT_TRUE(fs::FileExists(dir / "file"));
    EXPECT_TRUE(fs::FileExists(dir / "good"));
    EXPECT_FALSE(fs::FileExists(dir / "dangling"));
    EXPECT_FALSE(fs::FileExists(dir / "loop"));
    EXPECT_FALSE(fs::FileExists(dir.Path()));
    EXPECT_TRUE(fs::DirectoryExists(dir.Path()));
}

TEST(FileSystem, FaultHookFailsTheChosenOperation)
{
    lwtest::TempDir dir;
    struct Ctx {
        fs::TFileOp op;
        int calls = 0;
    } ctx{fs::TFileOp::Write};
    fs::SetFaultHook(
        [](fs::TFileOp op, void* c) {
            auto* seen = static_cast<Ctx*>(c);
            return op == seen->op && ++seen->calls == 1 ? ENOSPC : 0;
        },
        &ctx);
    {
        TFileStream f(dir / "x", TFileMode::fmCreate);
        try {
            f.Write(Bytes(10, 1));
            ADD_FAILURE() << "the injected error was lost";
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), "No space left on device while writing " + (dir / "x"));
        }
        EXPECT_EQ(f.Write(Bytes(10, 1)), 10);
    }
    fs::SetFaultHook(nullptr, nullptr);
    EXPECT_EQ(ctx.calls, 2);
}

TEST(FileStream, NoFollowModeOpensTheNameItselfOnly)
{
    lwtest::TempDir dir;
    const std::string target = dir / "target";
    lwtest::WriteFile(target, Bytes{1, 2, 3});
    const std::string link = dir / "link";
    ASSERT_EQ(symlink("target", link.c_str()), 0);
    try {
        TFileStream f(link, TFileMode::fmOpenReadWriteNoFollow);
        FAIL() << "opened through a symlink";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + link + "\". Too many levels of symbolic links");
    }
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(TFileStream(fifo, TFileMode::fmOpenReadWriteNoFollow), EFOpenError);
    TFileStream f(target, TFileMode::fmOpenReadWriteNoFollow);
    EXPECT_TRUE(f.Writable());
    f.WriteBuffer(Bytes{7});
    f.Close();
    EXPECT_EQ(lwtest::ReadFile(target), (Bytes{7, 2, 3}));
}

// The wipe closes its stream and deletes the name afterwards: the lock must stay.
TEST(FileSystem, DescriptionHoldKeepsTheLockAfterTheFirstHandleCloses)
{
    lwtest::TempDir dir;
    const std::string path = dir / "f";
    lwtest::WriteFile(path, Bytes{1});
    auto stream = std::make_unique<TFileStream>(path, TFileMode::fmOpenReadWriteShared);
    ASSERT_TRUE(stream->TryLock(true));
    auto hold = std::make_unique<fs::TDescriptionHold>(stream->Handle(), path);
    stream->Close();
    TFileStream other(path, TFileMode::fmOpenReadShared);
    EXPECT_FALSE(other.TryLock(false)) << "the lock went with the first handle";
    hold.reset();
    EXPECT_TRUE(other.TryLock(false));
}
