// Our block coder against the library's, block by block: the same bits for every kind of
// block (the sort's own cases are the sort's tests), and a block whose rotations tie left
// to the library. The parallel compressor's
// tests check the same through whole streams.
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>

#include <gtest/gtest.h>

#include "BZip2Helpers.h"
#include "compress/BZip2BlockEncoder.h"
#include "compress/BZip2Format.h"

extern "C" void BZ2_hbMakeCodeLengths(unsigned char* len, int* freq, int alphaSize, int maxLen);

namespace {

using lwtest::Bytes;

constexpr size_t kBlockMax = 899981; // the library's largest block, at level 9

// The library's first run-length stage: runs of 4 to 255 stored as four bytes and a count.
Bytes Stored(const Bytes& data)
{
    Bytes out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && run < 255 && data[i + run] == data[i])
            ++run;
        out.insert(out.end(), std::min<size_t>(run, 4), data[i]);
        if (run >= 4)
            out.push_back(static_cast<uint8_t>(run - 4));
        i += run;
    }
    return out;
}

Bytes Bits(const Bytes& bytes, uint64_t from, uint64_t count)
{
    lw::bz::TBitWriter w;
    w.PutBits(bytes, from, count);
    w.Pad();
    return w.Bytes();
}

// Bytes no one of which repeats the one before: a block of exactly n stored bytes.
Bytes Distinct(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < n) {
        auto c = static_cast<uint8_t>(rng());
        out.push_back(!out.empty() && c == out.back() ? static_cast<uint8_t>(c + 1) : c);
    }
    return out;
}

// Little-endian records of counters, small numbers and flags, as in object files.
Bytes BinaryLike(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out;
    for (uint32_t i = 0; out.size() < n; ++i) {
        const uint32_t small = static_cast<uint32_t>(rng() % 300), wide = static_cast<uint32_t>(rng());
        const uint32_t fields[] = {i * 16, small, wide % 8 == 0 ? wide : 0, 0x90909090u};
        for (uint32_t f : fields)
            for (int b = 0; b < 4; ++b)
                out.push_back(static_cast<uint8_t>(f >> (8 * b)));
    }
    out.resize(n);
    return out;
}

Bytes OurSources()
{
    Bytes out;
    for (const auto& entry : std::filesystem::directory_iterator(LOCKWELL_TEST_DATA_DIR "/../../compress")) {
        std::ifstream in(entry.path(), std::ios::binary);
        out.insert(out.end(), std::istreambuf_iterator<char>(in), {});
    }
    return out;
}

struct Row {
    const char* name;
    std::function<Bytes()> make; // the block as the caller gives it, before the run stage
    bool ties = false;
};

const Row kRows[] = {
    {"one_byte", [] { return Bytes{'x'}; }},
    {"every_byte_value",
     [] {
         Bytes v(256);
         std::iota(v.begin(), v.end(), 0);
         return v;
     }},
    {"text", [] { return bztest::PseudoText(400000, 61); }},
    {"our_sources", [] { return Bytes(OurSources()); }},
    {"binary_like", [] { return BinaryLike(700000, 62); }},
    {"random", [] { return lwtest::RandomBytes(300000, 63); }},
    {"already_compressed", [] { return bztest::LibraryCompress(bztest::PseudoText(800000, 64), 9); }},
    {"long_runs", [] { return bztest::LongRuns(); }},
    {"full_block", [] { return Distinct(kBlockMax, 65); }},
    {"two_symbols",
     [] {
         Bytes v = lwtest::RandomBytes(200000, 67);
         for (auto& c : v)
             c &= 1;
         return v;
     }},
    {"runs_only", [] { return Bytes(255 * 3000, 'x'); }, true},
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class BlockEncoder : public ::testing::TestWithParam<Row> {};

TEST_P(BlockEncoder, SameBitsAsTheLibraryOrLeftToIt)
{
    const Bytes data = GetParam().make();
    const Bytes stored = Stored(data);
    ASSERT_LE(stored.size(), kBlockMax);
    lw::bz::TBlockEncoderScratch scratch;
    lw::bz::TEncodedBlock ours;
    const bool coded = lw::bz::EncodeBlock(stored, scratch, ours);
    ASSERT_EQ(coded, !GetParam().ties);
    if (!coded)
        return;
    const Bytes library = bztest::LibraryCompress(data, 9);
    uint64_t from = 0, bits = 0;
    uint32_t crc = 0;
    ASSERT_TRUE(lw::bz::LocateOnlyBlock(library, from, bits, crc));
    EXPECT_EQ(ours.crc, crc);
    EXPECT_EQ(ours.bits, bits);
    EXPECT_TRUE(bztest::Same(Bits(ours.bytes, 0, ours.bits), Bits(library, from, bits)));
    // The same scratch again, as a worker reuses it.
    lw::bz::TEncodedBlock again;
    ASSERT_TRUE(lw::bz::EncodeBlock(stored, scratch, again));
    EXPECT_EQ(again.bytes, ours.bytes);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlockEncoder, ::testing::ValuesIn(kRows), [](const auto& p) { return p.param.name; });

// Counts that force codes past 17 bits (Fibonacci), none at all, and random ones.
TEST(BlockCodeLengths, TheLibrarysLengths)
{
    std::mt19937 rng(70);
    std::vector<std::vector<int32_t>> tables = {std::vector<int32_t>(258, 0), std::vector<int32_t>(2, 5)};
    std::vector<int32_t> fib = {1, 1};
    // 28 terms: a block's worth of symbols in all, yet a code 27 deep.
    while (fib.size() < 28)
        fib.push_back(fib[fib.size() - 1] + fib[fib.size() - 2]);
    tables.push_back(fib);
    std::shuffle(fib.begin(), fib.end(), rng);
    tables.push_back(fib);
    for (unsigned alpha : {3u, 21u, 100u, 258u}) {
        std::vector<int32_t> f(alpha);
        for (auto& x : f)
            x = rng() % 4 == 0 ? 0 : static_cast<int32_t>(rng() % 3000); // a block holds at most 900000
        tables.push_back(f);
    }
    for (auto& freq : tables) {
        std::vector<uint8_t> ours(freq.size()), library(freq.size());
        lw::bz::MakeCodeLengths(ours, freq, 17);
        BZ2_hbMakeCodeLengths(library.data(), freq.data(), static_cast<int>(freq.size()), 17);
        EXPECT_EQ(ours, library) << freq.size() << " symbols";
        EXPECT_LE(*std::max_element(ours.begin(), ours.end()), 17);
    }
}

} // namespace
