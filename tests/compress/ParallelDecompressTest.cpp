// The parallel decompressor against the single library stream: same reads, same bytes, same
// error on the same read, on valid, damaged, cut and padded streams.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "BZip2Helpers.h"
#include "compress/ParallelBZip2Decompressor.h"

using namespace lw;
using namespace bztest;

namespace {

// Forward only, at most `perRead` bytes a read: like the decrypting source of a job.
class TForwardSource : public TStream {
public:
    TForwardSource(const Bytes& data, size_t perRead) : m_data(data), m_perRead(perRead) {}
    int64_t Read(std::span<uint8_t> buffer) override
    {
        const size_t n = std::min({buffer.size(), m_perRead, m_data.size() - m_at});
        std::copy_n(m_data.begin() + static_cast<ptrdiff_t>(m_at), n, buffer.begin());
        m_at += n;
        return static_cast<int64_t>(n);
    }
    int64_t Write(std::span<const uint8_t>) override { throw std::logic_error("write"); }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override
    {
        if (offset != 0 || origin != TSeekOrigin::soCurrent)
            throw std::logic_error("seek on a forward-only source");
        return static_cast<int64_t>(m_at);
    }

private:
    const Bytes& m_data;
    size_t m_perRead;
    size_t m_at = 0;
};

// What a reader sees: each read's count, the bytes, and the error ending it, if any.
struct TTrace {
    std::vector<int64_t> counts;
    Bytes data;
    std::string error;
};

TTrace Trace(TStream& stream, const std::vector<size_t>& sizes)
{
    TTrace t;
    Bytes buf;
    for (size_t i = 0;; ++i) {
        if (i > 50000000)
            throw std::runtime_error("reading does not end");
        buf.assign(sizes[i % sizes.size()], 0);
        int64_t n = 0;
        try {
            n = stream.Read(buf);
        } catch (const EBZDecompressionError& e) {
            t.error = e.what();
            if (e.Code() != 0) {
                EXPECT_EQ(t.error, "error " + std::to_string(e.Code()));
            }
            return t;
        }
        t.counts.push_back(n);
        t.data.insert(t.data.end(), buf.begin(), buf.begin() + n);
        if (n == 0)
            return t;
    }
}

struct TOptions {
    std::vector<size_t> sizes{4096};
    size_t perRead = 1 << 20;
    unsigned threads = 2;
};

TTrace Single(const Bytes& compressed, const TOptions& o = {})
{
    TForwardSource src(compressed, o.perRead);
    TBZDecompressionStream bz(src);
    return Trace(bz, o.sizes);
}

TTrace Parallel(const Bytes& compressed, const TOptions& o = {})
{
    TForwardSource src(compressed, o.perRead);
    TParallelBZDecompressor bz(src, o.threads);
    return Trace(bz, o.sizes);
}

::testing::AssertionResult SameTrace(const Bytes& compressed, const TOptions& o = {})
{
    const TTrace want = Single(compressed, o), got = Parallel(compressed, o);
    if (got.error != want.error)
        return ::testing::AssertionFailure() << "error \"" << got.error << "\", single stream \"" << want.error << "\"";
    if (got.counts != want.counts)
        return ::testing::AssertionFailure() << got.counts.size() << " reads, single stream " << want.counts.size();
    return Same(got.data, want.data);
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes& Text()
{
    return MultiBlock();
} // 1.2 MB, 12 blocks at level 1
const Bytes& TextLevel1()
{
    static const Bytes s = Compress(Text(), 0, TBlockSize100k::bs1);
    return s;
}

// Five blocks, for the many damaged variants.
const Bytes& Short()
{
    static const Bytes s = Compress(PseudoText(450000, 21), 0, TBlockSize100k::bs1);
    return s;
}

// Bit positions of the 48-bit block magic in `stream`, found one bit at a time.
std::vector<uint64_t> MagicPositions(const Bytes& stream)
{
    std::vector<uint64_t> at;
    uint64_t w = 0;
    for (uint64_t bit = 0; bit < stream.size() * 8; ++bit) {
        w = ((w << 1) | ((stream[bit / 8] >> (7 - bit % 8)) & 1u)) & 0xffffffffffffu;
        if (bit >= 47 && w == 0x314159265359u)
            at.push_back(bit - 47);
    }
    return at;
}

TEST(ParallelDecompress, ValidStreamsOfEveryKind)
{
    const Bytes zeros(5000000, 0); // decodes to more than a held block, left to one stream
    const std::vector<std::pair<std::string, Bytes>> streams = {
        {"empty", Compress({})},
        {"small", Compress(Inputs()[2].data)},
        {"text_bs1", TextLevel1()},
        {"text_bs5", Compress(Text())},
        {"random_bs1", Compress(lwtest::RandomBytes(350000, 7), 0, TBlockSize100k::bs1)},
        {"runs_bs1", Compress(LongRuns(), 0, TBlockSize100k::bs1)},
        {"zeros_bs9", Compress(zeros, 0, TBlockSize100k::bs9)},
    };
    for (const auto& [name, stream] : streams)
        for (unsigned threads : {0u, 1u, 2u, 4u})
            EXPECT_TRUE(SameTrace(stream, {.threads = threads})) << name << " threads " << threads;
    EXPECT_TRUE(Same(Parallel(TextLevel1()).data, Text()));
    EXPECT_TRUE(Same(Parallel(streams[6].second).data, zeros));
}

TEST(ParallelDecompress, BlockSizes1To9FromPythonAndTheCommand)
{
    const Bytes data = Cat(PseudoText(400000, 11), lwtest::RandomBytes(200000, 12));
    for (int level = 1; level <= 9; ++level) {
        const Bytes py = PyCompress(data, level);
        const Bytes cmd = CommandCompress(data, level);
        for (const Bytes* s : {&py, &cmd}) {
            const TTrace got = Parallel(*s);
            EXPECT_EQ(got.error, "") << "level " << level;
            EXPECT_TRUE(Same(got.data, data)) << "level " << level;
        }
        EXPECT_TRUE(Same(PyDecompress(py), data));
    }
}

TEST(ParallelDecompress, ReadSizesSourcePiecesAndThreads)
{
    const Bytes small = Compress(PseudoText(230000, 5), 0, TBlockSize100k::bs1);
    const std::vector<TOptions> cases = {
        {.sizes = {1}, .perRead = 1 << 20, .threads = 2},
        {.sizes = {3, 4095, 4097}, .perRead = 1 << 20, .threads = 2},
        {.sizes = {65537}, .perRead = 7, .threads = 1},
        {.sizes = {1000003}, .perRead = 65536, .threads = 3},
        {.sizes = {99999, 100000, 100001}, .perRead = 1 << 20, .threads = 0},
    };
    for (const auto& o : cases)
        EXPECT_TRUE(SameTrace(TextLevel1(), o)) << o.sizes[0] << " per " << o.perRead;
    EXPECT_TRUE(SameTrace(small, {.sizes = {777}, .perRead = 1, .threads = 2}));
}

// Bytes in which no two neighbours are equal, so the run-length stage leaves them alone.
Bytes NoNeighbourRepeats(size_t n, const Bytes& from, std::mt19937& rng, uint8_t before)
{
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        do
            out[i] = from[rng() % from.size()];
        while (out[i] == (i ? out[i - 1] : before));
    return out;
}

uint32_t CrcStep(uint32_t c, uint8_t b)
{
    c ^= uint32_t{b} << 24;
    for (int k = 0; k < 8; ++k)
        c = (c & 0x80000000u) ? (c << 1) ^ 0x04c11db7u : c << 1;
    return c;
}

// Three level-9 blocks; the second one's header bits spell the block magic: its checksum ends
// in the magic's first 10 bits, the randomised bit is 0, the original pointer and the byte
// groups in use give the rest.
Bytes FalseMagicStream()
{
    constexpr uint64_t magic = 0x314159265359u;
    const uint32_t crcLow = static_cast<uint32_t>(magic >> 38);
    const size_t origPtr = (magic >> 13) & 0xffffff;
    const unsigned groups = magic & 0x1fff; // 13 of the 16 "group in use" bits
    constexpr size_t n = 899981;            // what a level-9 block takes of such bytes
    EXPECT_EQ((magic >> 37) & 1u, 0u);
    EXPECT_LT(origPtr, n);
    std::vector<unsigned> used;
    for (unsigned g = 0; g < 13; ++g)
        if (groups >> (12 - g) & 1u)
            used.push_back(g);
    // A byte of a middle group appears once, first: the original rotation then has exactly
    // as many rotations below it as there are smaller bytes.
    const unsigned mid = used[used.size() / 2];
    const auto m = static_cast<uint8_t>(mid * 16);
    Bytes lower, upper;
    for (unsigned g : used)
        for (unsigned v = g * 16; v < g * 16 + 16 && g != mid; ++v)
            (g < mid ? lower : upper).push_back(static_cast<uint8_t>(v));
    std::mt19937 rng(99);
    Bytes all;
    for (unsigned v = 1; v < 255; ++v)
        all.push_back(static_cast<uint8_t>(v));
    const Bytes first = NoNeighbourRepeats(n, all, rng, 0);
    std::vector<bool> low(n - 1, false);
    std::fill(low.begin(), low.begin() + static_cast<ptrdiff_t>(origPtr), true);
    std::shuffle(low.begin(), low.end() - 3, rng); // the last three stay upper
    Bytes block{m};
    for (size_t i = 1; i < n - 3; ++i)
        block.push_back(NoNeighbourRepeats(1, low[i - 1] ? lower : upper, rng, block.back())[0]);
    uint32_t c = 0xffffffffu;
    for (uint8_t b : block)
        c = CrcStep(c, b);
    // The last three bytes settle the checksum.
    const size_t u = upper.size();
    for (size_t k = 0; block.size() < n && k < u * u * u; ++k) {
        const uint8_t a = upper[k / u / u], b = upper[k / u % u], d = upper[k % u];
        if (a != block.back() && a != b && b != d && (~CrcStep(CrcStep(CrcStep(c, a), b), d) & 0x3ff) == crcLow)
            block.insert(block.end(), {a, b, d});
    }
    EXPECT_EQ(block.size(), n);
    return Compress(Cat(Cat(first, block), {1, 2, 3, 4, 5, 6, 7, 8, 9}), 0, TBlockSize100k::bs9);
}

TEST(ParallelDecompress, MagicInsideBlockData)
{
    const Bytes stream = FalseMagicStream();
    // Three blocks, and one more magic that is data.
    ASSERT_EQ(MagicPositions(stream).size(), 4u);
    for (unsigned threads : {0u, 2u})
        EXPECT_TRUE(SameTrace(stream, {.sizes = {65536}, .perRead = 65536, .threads = threads}));
    EXPECT_TRUE(SameTrace(stream, {.sizes = {4093}, .perRead = 1000, .threads = 2}));
    const Bytes cut(stream.begin(), stream.end() - 3);
    EXPECT_TRUE(SameTrace(cut));
}

TEST(ParallelDecompress, CutAtManyPoints)
{
    const Bytes& s = Short();
    std::vector<size_t> cuts = {0, 1, 2, 3, 4, 5, 9, 10, 11, 13, 14, 100};
    for (size_t k = 1; k < 20; ++k)
        cuts.push_back(s.size() * k / 20);
    for (const uint64_t bit : MagicPositions(s))
        for (size_t d : {0, 1, 6, 7, 10, 11})
            cuts.push_back(bit / 8 + d);
    for (size_t back = 1; back <= 16; ++back)
        cuts.push_back(s.size() - back);
    for (size_t cut : cuts) {
        const Bytes part(s.begin(), s.begin() + static_cast<ptrdiff_t>(cut));
        const TOptions o{.sizes = {cut % 2 ? 65536u : 100003u}, .perRead = 1 << 20, .threads = 2};
        EXPECT_TRUE(SameTrace(part, o)) << "cut at " << cut;
        EXPECT_EQ(Parallel(part, o).error, "error -7") << "cut at " << cut;
    }
    const Bytes small = Compress(Inputs()[3].data);
    for (size_t cut = 0; cut < small.size(); cut += 1 + cut / 8)
        EXPECT_TRUE(SameTrace(Bytes(small.begin(), small.begin() + static_cast<ptrdiff_t>(cut))));
}

TEST(ParallelDecompress, FlippedBits)
{
    const Bytes& s = Short();
    const std::vector<uint64_t> blocks = MagicPositions(s);
    ASSERT_EQ(blocks.size(), 5u);
    std::vector<uint64_t> bits = {0, 3, 25, 31}; // signature and block size digit
    for (size_t i = 0; i < blocks.size(); ++i) {
        const uint64_t next = i + 1 < blocks.size() ? blocks[i + 1] : s.size() * 8 - 80;
        for (uint64_t b : {blocks[i], blocks[i] + 47, blocks[i] + 50, blocks[i] + 80, blocks[i] + 81, blocks[i] + 120,
                           (blocks[i] + next) / 2, next - 1})
            bits.push_back(b);
    }
    const uint64_t total = s.size() * 8;
    for (uint64_t back = 1; back <= 90; back += 3) // end magic, combined checksum, padding
        bits.push_back(total - back);
    for (uint64_t bit : bits) {
        Bytes bad = s;
        bad[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
        for (const auto& o : {TOptions{}, TOptions{.sizes = {65536}, .perRead = 65536, .threads = 1}})
            EXPECT_TRUE(SameTrace(bad, o)) << "bit " << bit;
    }
}

TEST(ParallelDecompress, BytesAfterTheEnd)
{
    const Bytes& s = Short();
    const Bytes empty = Compress({});
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"one byte", Cat(s, {0})},
        {"signature", Cat(s, {'B', 'Z', 'h', '9'})},
        {"second stream", Cat(s, Compress(Inputs()[2].data))},
        {"empty then stream", Cat(empty, s)},
        {"two empties", Cat(empty, empty)},
        {"a megabyte", Cat(s, Bytes(1 << 20, 0x31))},
    };
    for (const auto& [name, stream] : cases)
        for (size_t size : {4096u, 1u << 22})
            for (size_t perRead : {size_t{1} << 20, size_t{65536}}) {
                const TOptions o{.sizes = {size}, .perRead = perRead, .threads = 2};
                EXPECT_TRUE(SameTrace(stream, o)) << name << " " << size;
                EXPECT_EQ(Parallel(stream, o).error, "error -1") << name;
            }
    // A read that ends exactly at the last byte succeeds; the next one fails.
    const TTrace exact = Parallel(Cat(s, {0}), {.sizes = {450000}});
    EXPECT_EQ(exact.counts, std::vector<int64_t>{450000});
    EXPECT_EQ(exact.error, "error -1");
}

TEST(ParallelDecompress, NotBZip2)
{
    for (const Bytes& s : {Bytes{}, Bytes{'B'}, Bytes{'B', 'Z'}, Bytes{'B', 'Z', 'h'}, Bytes{'B', 'Z', 'h', '0'},
                           Bytes{'B', 'Z', 'x', '9'}, Bytes{'B', 'Z', 'h', '9', 1, 2, 3, 4, 5, 6, 7, 8, 9},
                           Bytes{'B', 'Z', 'h', '9', 0x31, 0x41}, Bytes(100, 'B'),
                           Bytes{'B', 'Z', 'h', '9', 0x17, 0x72, 0x45, 0x38, 0x50, 0x90, 0, 0, 0, 0}})
        for (size_t perRead : {size_t{1}, size_t{65536}})
            EXPECT_TRUE(SameTrace(s, {.sizes = {4096}, .perRead = perRead})) << lwtest::ToHex(s);
    EXPECT_EQ(Parallel({'x'}).error, "error -5");
    EXPECT_EQ(Parallel({}).error, "error -7");
}

TEST(ParallelDecompress, ReadOnlyAndPositionQuery)
{
    TForwardSource src(TextLevel1(), 1 << 20);
    TParallelBZDecompressor bz(src, 2);
    Bytes buf(1000);
    bz.ReadBuffer(buf);
    EXPECT_EQ(bz.Position(), 1000);
    EXPECT_EQ(bz.Read({}), 0);
    const std::vector<std::function<void()>> refused = {
        [&] { bz.Write(buf); },
        [&] { bz.Seek(0, TSeekOrigin::soBeginning); },
        [&] { bz.Seek(1, TSeekOrigin::soCurrent); },
        [&] { bz.Seek(0, TSeekOrigin::soEnd); },
        [&] { bz.Size(); },
    };
    for (const auto& op : refused) {
        try {
            op();
            ADD_FAILURE() << "accepted";
        } catch (const EBZDecompressionError& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation");
        }
    }
    bz.ReadBuffer(buf);
    EXPECT_TRUE(Same(buf, Bytes(Text().begin() + 1000, Text().begin() + 2000)));
}

TEST(ParallelDecompress, StoppedEarlyJoinsItsWorkers)
{
    for (unsigned threads : {1u, 2u, 8u}) {
        TForwardSource src(TextLevel1(), 1 << 20);
        TParallelBZDecompressor bz(src, threads);
        Bytes buf(10);
        bz.ReadBuffer(buf);
        EXPECT_TRUE(Same(buf, Bytes(Text().begin(), Text().begin() + 10)));
    }
    TForwardSource src(TextLevel1(), 1 << 20);
    TParallelBZDecompressor unused(src, 2);
}

} // namespace
