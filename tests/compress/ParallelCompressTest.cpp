// The parallel compressor against one library stream: the same bytes for every input,
// above all where runs meet the points at which the library closes its blocks.
#include <atomic>
#include <random>
#include <stdexcept>

#include <functional>
#include <gtest/gtest.h>

#include "BZip2Helpers.h"
#include "compress/BZip2Format.h"
#include "compress/ParallelBZip2Compressor.h"

namespace {

using lw::TBlockSize100k;
using lwtest::Bytes;

Bytes SingleStream(const Bytes& data, TBlockSize100k size)
{
    lw::TMemoryStream out;
    lw::TBZCompressionStream packer(size, out);
    packer.WriteBuffer(data);
    packer.Finish();
    return out.Data();
}

Bytes Parallel(const Bytes& data, TBlockSize100k size, unsigned threads, size_t piece = 1 << 16)
{
    lw::TMemoryStream out;
    lw::TParallelBZCompressor packer(size, out, threads);
    for (size_t at = 0; at < data.size(); at += piece)
        packer.WriteBuffer(std::span(data).subspan(at, std::min(piece, data.size() - at)));
    EXPECT_EQ(packer.Position(), static_cast<int64_t>(data.size()));
    packer.Finish();
    return out.Data();
}

size_t BlockMax(TBlockSize100k size)
{
    return 100000 * (static_cast<size_t>(size) + 1) - 19;
}

// Plain byte-by-byte model of the library's first run-length stage, only to aim runs.
struct Fill {
    explicit Fill(size_t limit) : max(limit) {}
    // True when this byte closed a block.
    bool Add(uint8_t c)
    {
        if (run < 256 && c == run && length < 255) {
            ++length;
        } else {
            if (run < 256)
                stored += length <= 3 ? length : 5;
            run = c;
            length = 1;
        }
        if (stored < max)
            return false;
        stored = 0;
        return true;
    }
    size_t max;
    size_t stored = 0;
    unsigned run = 256, length = 0;
};

// Bytes that never repeat the one before: each adds exactly one stored byte.
struct Builder {
    explicit Builder(size_t max, uint32_t seed) : fill(max), rng(seed) {}
    void Distinct()
    {
        auto c = static_cast<uint8_t>(rng());
        if (!data.empty() && c == data.back())
            ++c;
        Push(c);
    }
    void Push(uint8_t c)
    {
        data.push_back(c);
        cut = fill.Add(c) || cut;
    }
    // A run of length bytes that starts when the block lacks `missing` stored bytes.
    void RunBeforeCut(unsigned length, size_t missing)
    {
        for (cut = false; !cut;)
            Distinct();
        while (fill.stored + missing < fill.max)
            Distinct();
        const auto c = static_cast<uint8_t>(data.back() + 1);
        for (unsigned i = 0; i < length; ++i)
            Push(c);
    }
    Fill fill;
    std::mt19937 rng;
    Bytes data;
    bool cut = false;
};

Bytes RunsAtTheCuts(TBlockSize100k size, uint32_t seed)
{
    Builder b(BlockMax(size), seed);
    // Every length near the stage's limits of 4 and 255, a stride through the rest.
    for (unsigned length = 1; length <= 300; ++length)
        if (length <= 10 || (length >= 250 && length <= 262) || length >= 295 || length % 17 == 0)
            b.RunBeforeCut(length, 1 + length % 6);
    for (unsigned length : {1u, 3u, 4u, 5u, 255u, 256u, 259u, 260u, 300u})
        for (size_t missing = 1; missing <= 7; ++missing)
            b.RunBeforeCut(length, missing);
    for (int i = 0; i < 1000; ++i)
        b.Distinct();
    return b.data;
}

// Ends exactly where a block closes, and one byte either side.
Bytes EndingAtACut(TBlockSize100k size, uint32_t seed, int shift, unsigned lastRun)
{
    Builder b(BlockMax(size), seed);
    b.RunBeforeCut(lastRun, 1);
    b.Push(static_cast<uint8_t>(b.data.back() + 1)); // closes the block: the full run went in
    if (shift < 0)
        b.data.pop_back();
    for (int i = 0; i < shift; ++i)
        b.Distinct();
    return b.data;
}

// Each case's data is made when its test runs: made for every case at registration, it
// cost every test process of this program seconds before any test ran.
struct Case {
    std::string name;
    TBlockSize100k size;
    std::function<Bytes()> make;
    bool large = false; // one thread count is enough
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<Case> Cases()
{
    using enum TBlockSize100k;
    std::vector<Case> cases = {
        {"empty", bs5, [] { return Bytes(); }},
        {"one_byte", bs5, [] { return Bytes{'a'}; }},
        {"text_bs5", bs5, [] { return bztest::PseudoText(3'300'000, 7); }, true},
        {"random_bs5", bs5, [] { return lwtest::RandomBytes(1'600'000, 8); }, true},
        {"long_runs", bs1, [] { return bztest::LongRuns(); }},
        {"all_equal_bs1", bs1, [] { return Bytes(12'000'000, 'x'); }},
        {"all_equal_past_one_bs5_block", bs5, [] { return Bytes(26'000'000, 0); }, true},
        {"runs_at_the_cuts_bs1", bs1, [] { return RunsAtTheCuts(bs1, 9); }, true},
        {"runs_at_the_cuts_bs5", bs5,
         [] {
             Builder b(BlockMax(bs5), 10);
             for (unsigned length : {4u, 255u, 256u, 300u})
                 for (size_t missing = 1; missing <= 6; missing += 5)
                     b.RunBeforeCut(length, missing);
             return b.data;
         },
         true},
    };
    for (int shift : {-1, 0, 1})
        for (unsigned run : {1u, 2u, 4u, 255u, 256u})
            cases.push_back({"end_at_cut_" + std::to_string(shift + 1) + "_run_" + std::to_string(run), bs1,
                             [shift, run] { return EndingAtACut(bs1, 11 + run, shift, run); }});
    // Sizes around multiples of the block where every byte counts once.
    for (size_t blocks : {1u, 2u, 3u})
        for (int delta : {-1, 0, 1, 2})
            cases.push_back(
                {"distinct_" + std::to_string(blocks) + "_blocks_" + std::to_string(delta + 1), bs1, [blocks, delta] {
                     Builder b(BlockMax(bs1), 20);
                     while (b.data.size() < blocks * BlockMax(bs1) + static_cast<size_t>(delta + 1))
                         b.Distinct();
                     return b.data;
                 }});
    return cases;
}

class ParallelCompress : public ::testing::TestWithParam<Case> {};

TEST_P(ParallelCompress, SameBytesAsOneLibraryStream)
{
    const Case& c = GetParam();
    const Bytes data = c.make();
    const Bytes expected = SingleStream(data, c.size);
    for (unsigned threads : {2u, 1u, 3u}) {
        ASSERT_EQ(Parallel(data, c.size, threads), expected) << threads << " threads";
        if (c.large)
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, ParallelCompress, ::testing::ValuesIn(Cases()),
                         [](const auto& p) { return p.param.name; });

TEST(ParallelCompressPieces, WriteSizesDoNotMoveTheCuts)
{
    Builder b(BlockMax(TBlockSize100k::bs1), 30);
    for (unsigned length : {1u, 4u, 255u, 256u, 300u})
        b.RunBeforeCut(length, 3);
    const Bytes& data = b.data;
    const Bytes expected = SingleStream(data, TBlockSize100k::bs1);
    for (size_t piece : {size_t{1}, size_t{7}, size_t{8191}})
        EXPECT_EQ(Parallel(data, TBlockSize100k::bs1, 2, piece), expected) << piece;
}

TEST(ParallelCompressReference, MatchesPythonBz2AtLevel5)
{
    Builder b(BlockMax(TBlockSize100k::bs5), 40);
    const Bytes text = bztest::PseudoText(1'200'000, 41);
    b.data = text;
    for (unsigned length : {1u, 4u, 256u, 300u})
        b.RunBeforeCut(length, 2);
    const Bytes python = bztest::PyCompress(b.data, 5);
    EXPECT_EQ(Parallel(b.data, TBlockSize100k::bs5, 2), python);
}

TEST(ParallelCompressFailures, AWorkerFailureReachesTheWriter)
{
    const Bytes data = bztest::PseudoText(2'000'000, 50);
    for (int failing : {1, 3}) {
        lw::TMemoryStream out;
        std::atomic<int> blocks{0};
        bool raised = false;
        try {
            lw::TParallelBZCompressor packer(TBlockSize100k::bs1, out, 2);
            packer.BeforeBlock = [&] {
                if (++blocks == failing)
                    throw lw::EBZCompressionError("injected");
            };
            packer.WriteBuffer(data);
            packer.Finish();
        } catch (const lw::EBZCompressionError& e) {
            raised = std::string(e.what()) == "injected";
        }
        EXPECT_TRUE(raised) << failing;
    }
}

class FailingSink final : public lw::TMemoryStream {
public:
    int64_t Write(std::span<const uint8_t> buffer) override
    {
        if (Size() + static_cast<int64_t>(buffer.size()) > 100000)
            return 0;
        return TMemoryStream::Write(buffer);
    }
};

TEST(ParallelCompressFailures, AFailingDestinationRaisesAndTheWorkersStop)
{
    FailingSink out;
    lw::TParallelBZCompressor packer(TBlockSize100k::bs1, out, 2);
    EXPECT_THROW(
        {
            packer.WriteBuffer(lwtest::RandomBytes(1'000'000, 51));
            packer.Finish();
        },
        lw::EWriteError);
}

TEST(ParallelCompressFailures, OnlyWritesAndThePositionQuery)
{
    lw::TMemoryStream out;
    lw::TParallelBZCompressor packer(TBlockSize100k::bs5, out, 2);
    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_THROW(packer.Read(b), lw::EBZCompressionError);
    EXPECT_THROW(packer.Seek(0, lw::TSeekOrigin::soBeginning), lw::EBZCompressionError);
    EXPECT_THROW(packer.Seek(1, lw::TSeekOrigin::soCurrent), lw::EBZCompressionError);
    packer.WriteBuffer(b);
    EXPECT_EQ(packer.Position(), 4);
    packer.Finish();
    packer.Finish();
    EXPECT_THROW(packer.Write(b), lw::EBZCompressionError);
    EXPECT_EQ(out.Data(), SingleStream(Bytes(b, b + 4), TBlockSize100k::bs5));
}

TEST(BZip2Format, WriterMatchesABitByBitModel)
{
    std::mt19937 rng(60);
    lw::bz::TBitWriter writer;
    std::vector<bool> model;
    Bytes taken;
    for (int step = 0; step < 2000; ++step) {
        if (rng() % 2) {
            const unsigned count = rng() % 33;
            const uint64_t bits = rng();
            writer.Put(bits, count);
            for (unsigned i = count; i-- > 0;)
                model.push_back((bits >> i) & 1);
        } else {
            const Bytes data = lwtest::RandomBytes(rng() % 20 + 1, rng());
            const uint64_t count = rng() % (data.size() * 8 + 1);
            writer.PutBits(data, 0, count);
            for (uint64_t i = 0; i < count; ++i)
                model.push_back((data[i / 8] >> (7 - i % 8)) & 1);
        }
        if (step % 97 == 0) {
            taken.insert(taken.end(), writer.Bytes().begin(), writer.Bytes().end());
            writer.ClearBytes();
        }
        ASSERT_EQ(writer.BitCount(), model.size());
    }
    writer.Pad();
    taken.insert(taken.end(), writer.Bytes().begin(), writer.Bytes().end());
    ASSERT_EQ(taken.size(), (model.size() + 7) / 8);
    for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(lw::bz::PeekBits(taken, i, 1), model[i] ? 1u : 0u) << i;
    EXPECT_EQ(lw::bz::PeekBits(taken, model.size(), 7), 0u);
    EXPECT_EQ(lw::bz::PeekBits(Bytes{0x12, 0x34, 0x56}, 4, 16), 0x2345u);
}

TEST(BZip2Format, CombinedCrcRotatesThenAdds)
{
    EXPECT_EQ(lw::bz::CombineCrc(0, 0xDEADBEEF), 0xDEADBEEFu);
    EXPECT_EQ(lw::bz::CombineCrc(0x80000001u, 0), 0x00000003u);
    EXPECT_EQ(lw::bz::CombineCrc(0x12345678u, 0xFFFFFFFFu), ~0x2468ACF0u);
}

} // namespace
