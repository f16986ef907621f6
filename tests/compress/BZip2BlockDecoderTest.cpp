// The block decoder against the library on the same block, wrapped as a one-block stream:
// whenever ours succeeds the library gives the same bytes; on plain blocks ours must succeed.
#include <gtest/gtest.h>

#include <bzlib.h>

#include <numeric>

#include "BZip2Helpers.h"
#include "compress/BZip2BlockDecoder.h"
#include "compress/BZip2BlockScanner.h"
#include "compress/BZip2Bridge.h"
#include "compress/BZip2Format.h"
#include "compress/BZip2BlockWalk.h"
#include "compress/ParallelBZip2Decompressor.h"
#include "platform/MemoryStream.h"

using namespace lw;
using namespace bztest;

namespace {

constexpr size_t kRoom = 8 << 20; // holds any block here

struct TBlock {
    uint64_t start, end; // bits, the block's magic first
};

// The blocks of a well-formed stream, found by their magics.
std::vector<TBlock> Blocks(const Bytes& stream)
{
    std::vector<TBZBlockMark> marks;
    FindBlockMarks(stream, 0, 0, stream.size(), marks);
    std::vector<TBlock> blocks;
    for (size_t i = 0; i + 1 < marks.size(); ++i)
        blocks.push_back({static_cast<uint64_t>(marks[i].bit), static_cast<uint64_t>(marks[i + 1].bit)});
    return blocks;
}

// What the library makes of bits [start, end) as the only block of a stream.
std::optional<Bytes> LibBlock(const Bytes& bits, uint64_t start, uint64_t end, int level)
{
    Bytes in;
    bz::WrapBlock(bits, start, end, level, in);
    Bytes out(1 << 20);
    bz_stream z{};
    EXPECT_EQ(BZ2_bzDecompressInit(&z, 0, 0), BZ_OK);
    z.next_in = reinterpret_cast<char*>(in.data());
    z.avail_in = static_cast<unsigned>(in.size());
    int rc = BZ_OK;
    size_t produced = 0;
    while (rc == BZ_OK && out.size() <= kRoom) {
        z.next_out = reinterpret_cast<char*>(out.data() + produced);
        z.avail_out = static_cast<unsigned>(out.size() - produced);
        rc = BZ2_bzDecompress(&z);
        produced = out.size() - z.avail_out;
        if (rc == BZ_OK && z.avail_out > 0)
            break; // the input ran out
        out.resize(out.size() * 2);
    }
    const bool ok = rc == BZ_STREAM_END && z.avail_in == 0;
    out.resize(produced);
    BZ2_bzDecompressEnd(&z);
    if (!ok)
        return std::nullopt;
    return out;
}

std::optional<Bytes> OurBlock(TBZBlockDecoder& d, const Bytes& bits, uint64_t start, uint64_t end, int level,
                              size_t room = kRoom)
{
    if (!d.Read(bits, start, end, level))
        return std::nullopt;
    static Bytes out(kRoom);
    size_t size = 0;
    if (d.Write(std::span(out).first(room), size) != TBZBlockResult::ok)
        return std::nullopt;
    return Bytes(out.begin(), out.begin() + static_cast<ptrdiff_t>(size));
}

// Ours succeeds only with the library's bytes. Returns whether ours succeeded.
bool Agree(TBZBlockDecoder& d, const Bytes& bits, uint64_t start, uint64_t end, int level, const std::string& what)
{
    const auto ours = OurBlock(d, bits, start, end, level);
    if (!ours)
        return false;
    const auto lib = LibBlock(bits, start, end, level);
    EXPECT_TRUE(lib.has_value()) << what << ": ours accepts what the library refuses";
    if (lib) {
        EXPECT_TRUE(Same(*ours, *lib)) << what;
    }
    return true;
}

Bytes Repeat(std::initializer_list<std::pair<size_t, uint8_t>> runs)
{
    Bytes out;
    for (auto [n, b] : runs)
        out.insert(out.end(), n, b);
    return out;
}

Bytes AllBytes(size_t times)
{
    Bytes out;
    for (size_t t = 0; t < times; ++t)
        for (unsigned v = 0; v < 256; ++v)
            out.push_back(static_cast<uint8_t>(t % 2 ? 255 - v : v));
    return out;
}

Bytes Periodic(const Bytes& unit, size_t times)
{
    Bytes out;
    for (size_t t = 0; t < times; ++t)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

struct TCase {
    std::string name;
    Bytes data;
    std::vector<int> levels;
};

const std::vector<TCase>& Cases()
{
    static const std::vector<TCase> cases = {
        {"one_byte", {'x'}, {1, 9}},
        {"two_bytes", {0, 255}, {1}},
        {"run_4", Repeat({{4, 'a'}}), {1}},
        {"run_5", Repeat({{5, 'a'}}), {1}},
        {"run_4_then_other", Repeat({{4, 'a'}, {1, 'b'}, {4, 'a'}}), {1}},
        {"run_255", Repeat({{255, 7}}), {1}},
        {"run_256", Repeat({{256, 7}}), {1}},
        {"run_259_260", Repeat({{259, 0}, {260, 1}, {3, 0}}), {1}},
        {"all_256_values", AllBytes(40), {1, 5}},
        {"random", lwtest::RandomBytes(300000, 41), {1, 2, 9}},
        {"text", PseudoText(1300000, 42), {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"long_runs", LongRuns(), {1, 3}},
        // A level-1 block at its limit, and one that decodes to megabytes.
        {"random_full", lwtest::RandomBytes(100000, 43), {1}},
        {"zeros", Bytes(6 << 20, 0), {1, 9}},
        // Repeated content: the sort's last step then goes round one cycle per repeat.
        {"period_512", AllBytes(40), {1}},
        {"period_3", Repeat({{1, 'a'}, {1, 'b'}, {1, 'c'}}), {1}},
        {"period_1000", Periodic(PseudoText(1000, 52), 150), {1, 2}},
        {"period_40000", Periodic(lwtest::RandomBytes(40000, 53), 5), {3}},
        {"sparse", Repeat({{100000, 'q'}, {1, 'r'}, {70000, 0}, {2, 'r'}, {9, 's'}}), {1}},
    };
    return cases;
}

TEST(BZip2BlockDecoder, PlainBlocksDecodeLikeTheLibrary)
{
    TBZBlockDecoder d; // one decoder for all: nothing may leak from block to block
    for (const auto& c : Cases())
        for (int level : c.levels) {
            const Bytes stream = LibraryCompress(c.data, level);
            Bytes joined;
            size_t n = 0;
            for (const TBlock& b : Blocks(stream)) {
                const std::string what = c.name + " level " + std::to_string(level) + " block " + std::to_string(n++);
                const auto ours = OurBlock(d, stream, b.start, b.end, level);
                ASSERT_TRUE(ours.has_value()) << what;
                EXPECT_EQ(d.Crc(), bz::PeekBits(stream, b.start + 48, 32)) << what;
                EXPECT_EQ(bz::BlockCrc(*ours), d.Crc()) << what;
                joined.insert(joined.end(), ours->begin(), ours->end());
            }
            EXPECT_TRUE(Same(joined, c.data)) << c.name << " level " << level;
        }
}

TEST(BZip2BlockDecoder, BlockAtTheLevelsLimit)
{
    // No byte equals the one before it: nothing for the first run-length stage to shorten.
    Bytes data = lwtest::RandomBytes(250000, 44);
    for (size_t i = 1; i < data.size(); ++i)
        if (data[i] == data[i - 1])
            data[i] = static_cast<uint8_t>(data[i - 1] + 1);
    // A run of 8 starting one short of the limit goes in whole as 5 bytes: the most a block takes.
    Bytes withRun = data;
    const size_t at = TBZBlockDecoder::MaxSymbols(1) - 5;
    std::fill_n(withRun.begin() + static_cast<ptrdiff_t>(at), 8, static_cast<uint8_t>(withRun[at - 1] + 1));
    withRun[at + 8] = static_cast<uint8_t>(withRun[at] + 1);
    TBZBlockDecoder d;
    for (const auto& [input, level, size] :
         std::vector<std::tuple<Bytes, int, size_t>>{{data, 1, 99981}, {data, 2, 199981}, {withRun, 1, 99988}}) {
        const Bytes stream = LibraryCompress(input, level);
        const auto blocks = Blocks(stream);
        const auto ours = OurBlock(d, stream, blocks[0].start, blocks[0].end, level);
        ASSERT_TRUE(ours.has_value()) << size;
        EXPECT_EQ(ours->size(), size);
        EXPECT_TRUE(Same(*ours, Bytes(input.begin(), input.begin() + static_cast<ptrdiff_t>(size))));
        // Read as a lower level the block is too big.
        if (level > 1) {
            EXPECT_FALSE(d.Read(stream, blocks[0].start, blocks[0].end, level - 1));
        }
    }
}

TEST(BZip2BlockDecoder, OutputRoomAndWrongBounds)
{
    const Bytes data = PseudoText(5000, 45);
    const Bytes stream = LibraryCompress(data, 1);
    const TBlock b = Blocks(stream)[0];
    TBZBlockDecoder d;
    ASSERT_TRUE(d.Read(stream, b.start, b.end, 1));
    Bytes small(data.size() - 1), exact(data.size());
    size_t size = 99;
    EXPECT_EQ(d.Write(small, size), TBZBlockResult::outputFull);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(d.Write(exact, size), TBZBlockResult::ok);
    EXPECT_TRUE(Same(exact, data));
    EXPECT_EQ(d.Write(exact, size), TBZBlockResult::bad); // written once only
    // Zeros of a long run do not fit a byte short of them.
    const Bytes zeros(1000, 0), zstream = LibraryCompress(zeros, 1);
    const TBlock z = Blocks(zstream)[0];
    ASSERT_TRUE(d.Read(zstream, z.start, z.end, 1));
    Bytes almost(999);
    EXPECT_EQ(d.Write(almost, size), TBZBlockResult::outputFull);
    // Bits missing or left over, a wrong start, a level too small or out of range.
    for (const auto& [start, end, level] :
         std::vector<std::tuple<uint64_t, uint64_t, int>>{{b.start, b.end - 1, 1},
                                                          {b.start, b.end + 1, 1},
                                                          {b.start, b.end + 8, 1},
                                                          {b.start + 1, b.end, 1},
                                                          {b.start - 8, b.end, 1},
                                                          {b.start, b.end, 0},
                                                          {b.start, b.end, 10},
                                                          {b.start, stream.size() * 8 + 8, 1},
                                                          {b.start, b.start + 40, 1}})
        EXPECT_FALSE(d.Read(stream, start, end, level)) << start << " " << end << " " << level;
}

TEST(BZip2BlockDecoder, EveryBitFlippedInSmallBlocks)
{
    const std::vector<std::pair<std::string, Bytes>> inputs = {
        {"one_byte", {'x'}},
        {"runs", Repeat({{4, 'a'}, {1, 'b'}, {255, 'c'}, {6, 'a'}, {300, 0}})},
        {"text", PseudoText(400, 46)},
        {"random", lwtest::RandomBytes(120, 47)},
    };
    TBZBlockDecoder d;
    for (const auto& [name, data] : inputs) {
        const Bytes stream = LibraryCompress(data, 1);
        const TBlock b = Blocks(stream)[0];
        size_t accepted = 0;
        for (uint64_t bit = b.start; bit < b.end; ++bit) {
            Bytes bad = stream;
            bad[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
            accepted += Agree(d, bad, b.start, b.end, 1, name + " bit " + std::to_string(bit));
        }
        // A flip in the checksum or the data shows; only the unused code lengths may take one.
        EXPECT_LT(accepted, (b.end - b.start) / 4) << name;
        EXPECT_TRUE(Agree(d, stream, b.start, b.end, 1, name));
    }
}

TEST(BZip2BlockDecoder, CutAndStretchedBlocks)
{
    TBZBlockDecoder d;
    for (const Bytes& data : {PseudoText(3000, 48), lwtest::RandomBytes(2000, 49), LongRuns()}) {
        const Bytes stream = LibraryCompress(data, 1);
        const TBlock b = Blocks(stream)[0];
        for (uint64_t end = b.start + 80; end < std::min<uint64_t>(b.end + 64, stream.size() * 8); end += 7)
            if (Agree(d, stream, b.start, end, 1, "end " + std::to_string(end))) {
                EXPECT_EQ(end, b.end);
            }
        // Bytes cut from the middle of the block.
        for (uint64_t at = b.start + 100; at + 64 < b.end; at += (b.end - b.start) / 13) {
            Bytes cut(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(at / 8));
            cut.insert(cut.end(), stream.begin() + static_cast<ptrdiff_t>(at / 8 + 5), stream.end());
            for (uint64_t end = b.end - 80; end <= b.end - 24; end += 8)
                EXPECT_FALSE(Agree(d, cut, b.start, end, 1, "cut at " + std::to_string(at)));
        }
    }
}

TEST(BZip2BlockDecoder, RandomDamageInLargerBlocks)
{
    std::mt19937 rng(50);
    TBZBlockDecoder d;
    for (int level : {1, 9}) {
        const Bytes data = PseudoText(150000, static_cast<uint32_t>(level));
        const Bytes stream = LibraryCompress(data, level);
        const TBlock b = Blocks(stream)[0];
        for (int i = 0; i < 60; ++i) {
            Bytes bad = stream;
            for (int k = 0, flips = 1 + i % 3; k < flips; ++k) {
                const uint64_t bit = b.start + 48 + rng() % (b.end - b.start - 48);
                bad[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
            }
            Agree(d, bad, b.start, b.end, level, "damage " + std::to_string(i));
        }
    }
}

TEST(BZip2BlockDecoder, BlockChecksumKnownAnswers)
{
    // The stream checksum of one-block bzip2 files is the block checksum rotated by one bit.
    EXPECT_EQ(bz::BlockCrc({}), 0u);
    const std::string check = "123456789"; // CRC-32/BZIP2 check value
    EXPECT_EQ(bz::BlockCrc(std::span(reinterpret_cast<const uint8_t*>(check.data()), check.size())), 0xfc891918u);
    for (size_t n : {1u, 7u, 8u, 9u, 100u, 4099u}) {
        const Bytes data = lwtest::RandomBytes(n, static_cast<uint32_t>(n));
        const Bytes stream = LibraryCompress(data, 1);
        EXPECT_EQ(bz::BlockCrc(data), bz::PeekBits(stream, 32 + 48, 32)) << n;
    }
}

// The walk with its several chains against one plain walk of n steps, on tables made
// directly: one cycle through all positions, equal cycles, cycles of other lengths.
TEST(BZip2BlockWalk, SameAsOnePlainWalk)
{
    std::mt19937 rng(54);
    TBZBlockWalk walk;
    for (uint32_t n : {1u, 2u, 3u, 255u, 2047u, 2048u, 2049u, 16384u * 3 + 5, 100000u, 899985u}) {
        for (uint32_t cycles : {1u, 2u, 3u, 7u, 64u, 0u}) { // 0: one cycle and a short one
            if (cycles > n || (cycles == 0 && n < 3))
                continue;
            std::vector<uint32_t> order(n);
            std::iota(order.begin(), order.end(), 0u);
            std::shuffle(order.begin(), order.end(), rng);
            std::vector<uint32_t> tt(n + 1);
            // Consecutive runs of `order` close into cycles.
            const uint32_t len = cycles == 0 ? n - 1 : n / cycles;
            for (uint32_t i = 0; i < n; ++i) {
                const uint32_t from = i / len * len, end = std::min(n, from + len);
                const uint32_t next = i + 1 < end ? order[i + 1] : order[from];
                tt[order[i]] = next << 8 | (rng() & 0xff);
            }
            for (uint32_t first : {order[0], order[n - 1], order[n / 2]}) {
                Bytes plain(n);
                for (uint32_t k = 0, p = first; k < n; ++k, p = tt[p] >> 8)
                    plain[k] = static_cast<uint8_t>(tt[p]);
                std::vector<uint32_t> copy = tt;
                const bool ok = walk.Run(copy.data(), n, first);
                copy[n] = tt[n];
                EXPECT_EQ(copy, tt) << n; // left as it was
                // Taken when the cycle through `first` divides n.
                uint32_t cycleLen = 1;
                for (uint32_t p = tt[first] >> 8; p != first; p = tt[p] >> 8)
                    ++cycleLen;
                EXPECT_EQ(ok, n % cycleLen == 0) << n << " " << cycles;
                if (!ok)
                    continue;
                Bytes got;
                walk.ForEach([&](std::span<const uint8_t> piece) {
                    got.insert(got.end(), piece.begin(), piece.end());
                    return true;
                });
                EXPECT_TRUE(Same(got, plain)) << n << " " << cycles;
            }
        }
    }
}

// Bytes and error message of reading all of `compressed`: how < 0 the single stream, else
// the parallel one on how / 2 threads, with the library decoding its blocks if how is odd.
std::pair<Bytes, std::string> ReadAll(const Bytes& compressed, int how)
{
    lw::TMemoryStream src;
    Fill(src, compressed);
    std::unique_ptr<TStream> bz;
    if (how < 0) {
        bz = std::make_unique<TBZDecompressionStream>(src);
    } else {
        auto p = std::make_unique<TParallelBZDecompressor>(src, static_cast<unsigned>(how / 2));
        if (how % 2)
            p->UseLibraryForBlocks();
        bz = std::move(p);
    }
    Bytes out, buf(70000);
    try {
        for (int64_t n; (n = bz->Read(buf)) > 0;)
            out.insert(out.end(), buf.begin(), buf.begin() + n);
    } catch (const EBZDecompressionError& e) {
        return {out, e.what()};
    }
    return {out, ""};
}

TEST(BZip2BlockDecoder, ParallelStreamWithOursOrTheLibrarysBlocks)
{
    const Bytes text = LibraryCompress(PseudoText(700000, 51), 1);
    Bytes flipped = text, cut(text.begin(), text.end() - 1000);
    flipped[flipped.size() / 2] ^= 0x20;
    const Bytes runs = LibraryCompress(Bytes(4 << 20, 'z'), 1); // blocks beyond the first output room
    for (const Bytes* s : std::initializer_list<const Bytes*>{&text, &flipped, &cut, &runs}) {
        const auto want = ReadAll(*s, -1);
        for (int how = 0; how < 6; ++how) {
            const auto got = ReadAll(*s, how);
            EXPECT_EQ(got.second, want.second) << how;
            EXPECT_TRUE(Same(got.first, want.first)) << how;
        }
    }
}

} // namespace
