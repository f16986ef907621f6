// The buffered streams against plain reads and writes: same counts and bytes for any
// pattern of pieces, and the failures of the large transfers behind them.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/BufferedReadStream.h"
#include "platform/BufferedWriteStream.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

// Not a multiple of the cipher's 8,192-byte pieces, so some pieces straddle two chunks.
constexpr size_t kChunk = 20000;

// How a caller takes pieces: sizes in turn (repeated), by view or by Read/Write, and
// when views are used, every n-th piece by Read/Write all the same (0: never).
struct Pattern {
    const char* name;
    std::vector<size_t> pieces;
    bool views;
    size_t plainEvery = 0;
};

const Pattern kPatterns[] = {
    {"cipher pieces by view", {8192}, true},
    {"cipher pieces by read", {8192}, false},
    {"chunk-sized views", {kChunk}, true},
    {"views straddling chunks", {7, kChunk - 1, 1, kChunk, 333, kChunk + 1, 0, 2}, true},
    {"odd reads", {1, 999, 1001, 4000, 0, 13, 3 * kChunk + 1}, false},
    {"views and reads mixed", {300, 5000, 17}, true, 3},
};

bool ByView(const Pattern& p, size_t i)
{
    return p.views && (p.plainEvery == 0 || i % p.plainEvery != p.plainEvery - 1);
}

const size_t kSizes[] = {0, 1, kChunk - 1, kChunk, kChunk + 1, 5 * kChunk + 77, 8192 * 3 + 5};

std::string Name(const Pattern& p, size_t size)
{
    return std::string(p.name) + ", " + std::to_string(size) + " bytes";
}

// A source that hands out at most a few bytes a call, as a pipe might.
class TrickleStream : public TMemoryStream {
public:
    int64_t Read(std::span<uint8_t> buffer) override { return TMemoryStream::Read(buffer.first(std::min<size_t>(buffer.size(), 97))); }
};

// Takes pieces of count bytes in all from in, by the pattern; what each take returned.
std::vector<Bytes> TakePieces(TStream& in, const Pattern& p, size_t count, bool buffered)
{
    std::vector<Bytes> got;
    size_t done = 0;
    for (size_t i = 0; done < count; ++i) {
        const size_t want = std::min(p.pieces[i % p.pieces.size()], count - done);
        const bool view = buffered && ByView(p, i);
        std::optional<std::span<const uint8_t>> v = view ? in.ReadView(want) : std::nullopt;
        if (view) {
            EXPECT_EQ(v.has_value(), want <= kChunk) << "piece " << i;
        }
        Bytes piece;
        if (v) {
            piece.assign(v->begin(), v->end());
        } else {
            piece.resize(want);
            piece.resize(static_cast<size_t>(in.Read(piece)));
        }
        got.push_back(piece);
        done += want;
    }
    return got;
}

// Gives data to out in the pattern's pieces; a view is filled after it is lent.
void GivePieces(TStream& out, const Pattern& p, const Bytes& data)
{
    size_t done = 0;
    for (size_t i = 0; done < data.size(); ++i) {
        const size_t n = std::min(p.pieces[i % p.pieces.size()], data.size() - done);
        const std::span<const uint8_t> piece(data.data() + done, n);
        std::optional<std::span<uint8_t>> v = ByView(p, i) ? out.WriteView(n) : std::nullopt;
        if (ByView(p, i)) {
            EXPECT_EQ(v.has_value(), n <= kChunk) << "piece " << i;
        }
        if (v) {
            ASSERT_EQ(v->size(), n);
            std::copy(piece.begin(), piece.end(), v->begin());
        } else {
            out.WriteBuffer(piece);
        }
        done += n;
    }
}

// Records the size of every write it takes.
class RecordingStream : public TMemoryStream {
public:
    int64_t Write(std::span<const uint8_t> buffer) override
    {
        writes.push_back(buffer.size());
        return TMemoryStream::Write(buffer);
    }
    std::vector<size_t> writes;
};

// Fails every Read or Write from the n-th call on; counts the calls.
class FaultFrom {
public:
    FaultFrom(fs::TFileOp op, int nth) : m_op(op), m_nth(nth) { fs::SetFaultHook(&Hook, this); }
    ~FaultFrom() { fs::SetFaultHook(nullptr, nullptr); }
    FaultFrom(const FaultFrom&) = delete;
    FaultFrom& operator=(const FaultFrom&) = delete;
    int Calls() const { return m_calls; }

private:
    static int Hook(fs::TFileOp op, void* context)
    {
        auto& self = *static_cast<FaultFrom*>(context);
        if (op != self.m_op)
            return 0;
        return ++self.m_calls >= self.m_nth && self.m_nth > 0 ? (op == fs::TFileOp::Read ? EIO : ENOSPC) : 0;
    }
    fs::TFileOp m_op;
    int m_nth;
    int m_calls = 0;
};

} // namespace

TEST(BufferedReadStream, DeliversWhatPlainReadsDeliver)
{
    for (const Pattern& p : kPatterns)
        for (size_t size : kSizes)
            for (bool trickle : {false, true}) {
                SCOPED_TRACE(Name(p, size) + (trickle ? ", trickling source" : ""));
                const Bytes data = lwtest::RandomBytes(size, 3);
                TMemoryStream plain;
                plain.Write(data);
                plain.SetPosition(0);
                TrickleStream slow;
                TMemoryStream fast;
                TMemoryStream& source = trickle ? slow : fast;
                source.Write(data);
                source.SetPosition(0);
                TBufferedReadStream in(source, kChunk);
                // Asking past the end too: the last pieces come short, then empty.
                const auto expected = TakePieces(plain, p, size + 2 * kChunk + 3, false);
                const auto got = TakePieces(in, p, size + 2 * kChunk + 3, true);
                EXPECT_EQ(got, expected);
                EXPECT_EQ(in.Position(), static_cast<int64_t>(size));
            }
}

TEST(BufferedReadStream, FileSourceInLargeReads)
{
    lwtest::TempDir dir;
    const Bytes data = lwtest::RandomBytes(3 * TBufferedReadStream::kChunk + 4321, 8);
    lwtest::WriteFile(dir / "src", data);
    TFileStream file(dir / "src", TFileMode::fmOpenReadShared);
    TBufferedReadStream in(file);
    const Pattern cipher{"cipher", {8192}, true};
    FaultFrom count(fs::TFileOp::Read, 0);
    Bytes all;
    for (const Bytes& piece : TakePieces(in, cipher, data.size() + 1, true))
        all.insert(all.end(), piece.begin(), piece.end());
    EXPECT_EQ(all, data);
    // Four chunks and the read that finds the end, not one a piece.
    EXPECT_LE(count.Calls(), 6);
}

TEST(BufferedReadStream, FailedOrShortSourceDeliversFewerBytes)
{
    lwtest::TempDir dir;
    const Bytes data = lwtest::RandomBytes(4 * kChunk + 10, 9);
    lwtest::WriteFile(dir / "src", data);
    // Pieces that divide the chunk: every large read is one chunk.
    const Pattern cipher{"cipher", {500}, true};
    for (int nth : {1, 2, 5}) {
        SCOPED_TRACE("reads fail from the " + std::to_string(nth) + "th");
        TFileStream file(dir / "src", TFileMode::fmOpenReadShared);
        TBufferedReadStream in(file, kChunk);
        FaultFrom fault(fs::TFileOp::Read, nth);
        size_t total = 0;
        Bytes all;
        for (const Bytes& piece : TakePieces(in, cipher, data.size(), true)) {
            total += piece.size();
            all.insert(all.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(total, std::min(data.size(), static_cast<size_t>(nth - 1) * kChunk));
        EXPECT_EQ(all, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(total)));
    }
    // A source shorter than the count asked for: the plain count, not the asked one.
    TMemoryStream shortSource;
    shortSource.Write(data);
    shortSource.SetPosition(0);
    TBufferedReadStream in(shortSource, kChunk);
    size_t total = 0;
    for (const Bytes& piece : TakePieces(in, cipher, data.size() + 700, true))
        total += piece.size();
    EXPECT_EQ(total, data.size());
}

TEST(BufferedWriteStream, WritesWhatPlainWritesWrite)
{
    for (const Pattern& p : kPatterns)
        for (size_t size : kSizes) {
            SCOPED_TRACE(Name(p, size));
            const Bytes data = lwtest::RandomBytes(size, 4);
            TMemoryStream destination;
            {
                TBufferedWriteStream out(destination, kChunk);
                GivePieces(out, p, data);
                EXPECT_EQ(out.Position(), static_cast<int64_t>(size));
                out.Finish();
            }
            EXPECT_EQ(destination.Data(), data);
        }
}

TEST(BufferedWriteStream, FailedLargeWriteRaisesStreamWriteError)
{
    const Bytes data = lwtest::RandomBytes(4 * kChunk + 300, 5);
    for (const Pattern& p : {kPatterns[0], kPatterns[3], kPatterns[4], kPatterns[5]}) {
        // Where the large writes fall when none fails.
        RecordingStream recorder;
        {
            TBufferedWriteStream out(recorder, kChunk);
            GivePieces(out, p, data);
            out.Finish();
        }
        ASSERT_EQ(recorder.Data(), data);
        const int writes = static_cast<int>(recorder.writes.size());
        ASSERT_GE(writes, 5) << p.name;
        for (int nth : {1, writes / 2, writes}) {
            SCOPED_TRACE(std::string(p.name) + ", write " + std::to_string(nth) + " of " + std::to_string(writes) + " fails");
            lwtest::TempDir dir;
            std::string message;
            bool fromFinish = false;
            {
                TFileStream file(dir / "out", TFileMode::fmCreate);
                FaultFrom fault(fs::TFileOp::Write, nth);
                TBufferedWriteStream out(file, kChunk);
                try {
                    GivePieces(out, p, data);
                    fromFinish = true;
                    out.Finish();
                } catch (const EWriteError& e) {
                    message = e.Message();
                }
                // The failed one and none after it.
                EXPECT_EQ(fault.Calls(), nth);
            }
            EXPECT_EQ(message, kStreamWriteError);
            EXPECT_EQ(fromFinish, nth == writes);
            size_t before = 0;
            for (int i = 0; i + 1 < nth; ++i)
                before += recorder.writes[static_cast<size_t>(i)];
            EXPECT_EQ(lwtest::ReadFile(dir / "out"), Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(before)));
        }
    }
}

TEST(BufferedWriteStream, DestructorWithoutFinishWritesNothingMore)
{
    const Bytes data = lwtest::RandomBytes(2 * kChunk + 500, 6);
    for (const Pattern& p : kPatterns) {
        SCOPED_TRACE(p.name);
        RecordingStream destination;
        {
            TBufferedWriteStream out(destination, kChunk);
            GivePieces(out, p, data);
        }
        // Only buffers that were full went out; the rest was dropped, not written.
        const size_t written = destination.Data().size();
        EXPECT_LT(written, data.size());
        EXPECT_GT(written + kChunk, data.size());
        EXPECT_EQ(destination.Data(), Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(written)));
    }
}
