#include <cerrno>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "TestUtil.h"
#include "jobs/Wipe.h"
#include "platform/WipeChecks.h"
#include "jobs/WipePattern.h"

using namespace lwtest;
using lw::fs::TFileOp;

namespace {

const char* kWipeText = "\r\nand make it unrecoverable.Continue?";

uint32_t ClockLow32()
{
    return lw::fs::HighResolutionCounter();
}

uint32_t Step(uint32_t seed)
{
    return seed * 134775813u + 1u;
}

// Finds the seed in force before the first byte: the first byte fixes the top 8 bits
// of the first state, the next bytes single out its low 24 bits.
bool RecoverSeed(const Bytes& bytes, uint32_t& seed)
{
    uint32_t inverse = 134775813u; // Newton: each round doubles the correct low bits
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - 134775813u * inverse;
    for (uint32_t low = 0; low < (1u << 24); ++low) {
        uint32_t s = (uint32_t(bytes[0]) << 24) | low;
        const uint32_t first = s;
        size_t i = 1;
        for (; i < 8 && i < bytes.size(); ++i) {
            s = Step(s);
            if ((s >> 24) != bytes[i])
                break;
        }
        if (i == std::min<size_t>(8, bytes.size())) {
            seed = (first - 1u) * inverse;
            return true;
        }
    }
    return false;
}

struct WipeCase {
    size_t size;
    std::vector<size_t> writes; // per pass
};

class WipePasses : public ::testing::TestWithParam<WipeCase> {};

} // namespace

TEST_P(WipePasses, HandedStreamIsOverwrittenFromZeroSevenTimesThenDeleted)
{
    const WipeCase& c = GetParam();
    TempDir dir;
    const std::string path = dir / "secret.txt";
    WriteFile(path, RandomBytes(c.size, 7));
    FaultScope faults;
    std::vector<Put> puts;
    auto stream = std::make_unique<ProbeFileStream>(path, puts, &faults);
    stream->SetPosition(static_cast<int64_t>(c.size / 2)); // handed over mid-file
    ScriptedAsk ask({lw::mbOK});

    const uint32_t before = ClockLow32();
    EXPECT_EQ(lw::WipeFile(std::move(stream), path, ask), lw::TWipeEnd::Deleted);
    const uint32_t after = ClockLow32();

    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(ask.boxes.size(), 1u);
    EXPECT_EQ(ask.boxes[0], (Box{lw::TMsgDlgType::mtWarning, WipeQuestion(path, Warned(ask.boxes[0].text)),
                                 lw::mbOK | lw::mbCancel}));
    EXPECT_TRUE(ask.boxes[0].text.starts_with(std::string("You are about to wipe secret.txt") + kWipeText));
    EXPECT_EQ(ask.defaults[0], lw::mbCancel) << "a single key press must not wipe";
    EXPECT_EQ(faults.Count(TFileOp::Sync), 7);
    EXPECT_EQ(faults.Count(TFileOp::Unlink), 1);
    ASSERT_EQ(puts.size(), 7 * c.writes.size());
    for (int pass = 0; pass < 7; ++pass) {
        int64_t position = 0;
        for (size_t w = 0; w < c.writes.size(); ++w) {
            const Put& put = puts[pass * c.writes.size() + w];
            SCOPED_TRACE("pass " + std::to_string(pass + 1) + " write " + std::to_string(w));
            EXPECT_EQ(put.position, position);
            EXPECT_EQ(put.bytes.size(), c.writes[w]);
            EXPECT_EQ(put.syncsBefore, pass); // one flush after each pass, none within
            position += static_cast<int64_t>(put.bytes.size());
            if (pass < 6)
                EXPECT_EQ(put.bytes, Bytes(put.bytes.size(), pass % 2 == 0 ? 0x00 : 0xFF));
            else // the same random buffer again for every piece
                EXPECT_TRUE(std::equal(put.bytes.begin(), put.bytes.end(), puts[6 * c.writes.size()].bytes.begin()));
        }
    }
    if (c.size < 8)
        return; // too few bytes to single out the seed
    const Bytes& random = puts[6 * c.writes.size()].bytes;
    uint32_t seed = 0;
    ASSERT_TRUE(RecoverSeed(random, seed)) << "pass 7 is not the generator's output";
    EXPECT_LE(seed - before, after - before) << "seed is not the clock's low 32 bits";
    for (size_t i = 0; i < random.size(); ++i) {
        if (i < lw::kWipeBufferSize)
            seed = Step(seed);
        ASSERT_EQ(random[i], i < lw::kWipeBufferSize ? seed >> 24 : random[i % lw::kWipeBufferSize]) << i;
    }
}

constexpr size_t kMiB = 1 << 20;

// Writes of up to 1 MiB, each a whole number of 4,096-byte patterns.
INSTANTIATE_TEST_SUITE_P(Sizes, WipePasses,
                         ::testing::Values(WipeCase{0, {}}, WipeCase{1, {1}}, WipeCase{5000, {5000}},
                                           WipeCase{8192, {8192}}, WipeCase{4096 * 3 + 17, {4096 * 3 + 17}},
                                           WipeCase{kMiB, {kMiB}}, WipeCase{kMiB + 1, {kMiB, 1}},
                                           WipeCase{3 * kMiB + 5, {kMiB, kMiB, kMiB, 5}}));

namespace {

// The file as the plain rule leaves it: the 4,096-byte pattern written again and again
// from offset 0, the last piece cut short.
Bytes FourKiBRule(const Bytes& pattern, size_t size)
{
    Bytes file(size);
    for (size_t at = 0; at < size; at += pattern.size())
        std::memcpy(file.data() + at, pattern.data(), std::min(pattern.size(), size - at));
    return file;
}

} // namespace

TEST(Wipe, EveryPassLeavesTheBytesOfThePlainFourKiBRule)
{
    for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{5000}, kMiB - 1, kMiB,
                        kMiB + 1, 5 * kMiB + 123}) {
        SCOPED_TRACE("size " + std::to_string(size));
        TempDir dir;
        const std::string path = dir / "data.bin";
        WriteFile(path, RandomBytes(size, 11));
        std::vector<Bytes> passes; // the file at each flush, i.e. at the end of every pass
        {
            FaultScope snapshots([&](TFileOp op, int) {
                if (op == TFileOp::Sync)
                    passes.push_back(ReadFile(path));
                return 0;
            });
            EXPECT_TRUE(Wipe(path).Deleted());
        }
        ASSERT_EQ(passes.size(), 7u);
        for (int pass = 1; pass <= 6; ++pass) {
            const Bytes expected = FourKiBRule(Bytes(lw::kWipeBufferSize, pass % 2 ? 0x00 : 0xFF), size);
            EXPECT_TRUE(passes[pass - 1] == expected) << "pass " << pass;
        }
        const Bytes& last = passes[6];
        ASSERT_EQ(last.size(), size);
        if (size < 8)
            continue; // too few bytes to single out the seed
        uint32_t seed = 0;
        ASSERT_TRUE(RecoverSeed(last, seed)) << "pass 7 is not the generator's output";
        Bytes pattern(lw::kWipeBufferSize);
        lw::FillRandomBytes(pattern, seed);
        EXPECT_TRUE(last == FourKiBRule(pattern, size)) << "pass 7";
    }
}

TEST(WipePattern, WriteSizeIsWholePatternsUpToOneMiBAndRepeatsFromTheStart)
{
    const std::pair<int64_t, size_t> rows[] = {
        {-1, 0},      {0, 0},           {1, 4096},    {4095, 4096},     {4096, 4096},
        {4097, 8192}, {kMiB - 1, kMiB}, {kMiB, kMiB}, {kMiB + 1, kMiB}, {int64_t{1} << 40, kMiB}};
    for (const auto& [size, expected] : rows)
        EXPECT_EQ(lw::WipeWriteSize(size), expected) << size;
    const Bytes pattern = RandomBytes(lw::kWipeBufferSize, 5);
    for (size_t size : {size_t{0}, size_t{3}, size_t{4096}, size_t{4097}, size_t{3 * 4096 + 1}}) {
        Bytes out(size, 0x5A);
        lw::RepeatPattern(pattern, out);
        EXPECT_EQ(out, FourKiBRule(pattern, size)) << size;
    }
}

TEST(WipePattern, RandomBytesFollowTheGeneratorForAGivenSeed)
{
    LWTEST_NEEDS_REFERENCE();
    // An independent implementation of the generator.
    const std::string script = R"(
import sys
for seed in (0, 1, 0xFFFFFFFF, 123456789):
    out = bytearray()
    for _ in range(4096):
        seed = (seed * 134775813 + 1) % 2**32
        out.append(seed >> 24)
    sys.stdout.write(out.hex() + "\n")
)";
    const Bytes expected = RunPython(script);
    std::string all;
    for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 123456789u}) {
        Bytes buffer(4096);
        lw::FillRandomBytes(buffer, seed);
        all += ToHex(buffer) + "\n";
    }
    EXPECT_EQ(all, std::string(expected.begin(), expected.end()));
}

TEST(WipePattern, PassesAlternateZeroAndOnesThenDrawFromTheClock)
{
    Bytes buffer(lw::kWipeBufferSize);
    uint32_t seed = 42;
    for (int pass = 1; pass <= 6; ++pass) {
        lw::FillWipePattern(pass, buffer, seed);
        EXPECT_EQ(buffer, Bytes(buffer.size(), pass % 2 ? 0x00 : 0xFF)) << pass;
        EXPECT_EQ(seed, 42u);
    }
    const uint32_t before = ClockLow32();
    lw::FillWipePattern(7, buffer, seed);
    uint32_t start = 0;
    ASSERT_TRUE(RecoverSeed(buffer, start));
    EXPECT_LE(start - before, ClockLow32() - before);
}

TEST(Wipe, PathOpenedFileIsOverwrittenWholeWhenTheDeletionFails)
{
    TempDir dir;
    const std::string path = dir / "a.txt";
    WriteFile(path, RandomBytes(10000, 1));
    FaultScope faults;
    faults.FailFrom(TFileOp::Unlink, 1, EBUSY);
    EXPECT_FALSE(Wipe(path).Deleted());
    const Bytes left = ReadFile(path);
    ASSERT_EQ(left.size(), 10000u);
    EXPECT_EQ(faults.Count(TFileOp::Sync), 7);
    // The last pass: one 4,096-byte random buffer repeated from offset 0.
    for (size_t i = 4096; i < left.size(); ++i)
        ASSERT_EQ(left[i], left[i % 4096]) << i;
    uint32_t seed = 0;
    EXPECT_TRUE(RecoverSeed(Bytes(left.begin(), left.begin() + 4096), seed));
}

TEST(Wipe, DeclinedOrUnopenableLeavesTheFileUntouched)
{
    TempDir dir;
    const std::string path = dir / "keep.bin";
    const Bytes content = RandomBytes(5000, 3);
    WriteFile(path, content);
    {
        FaultScope faults;
        ScriptedAsk ask({lw::mbCancel});
        EXPECT_NE(lw::WipeFile(nullptr, path, ask), lw::TWipeEnd::Deleted);
        EXPECT_EQ(faults.ops.size(), 0u) << "declined wipe touched the file system";
        EXPECT_EQ(ask.boxes.size(), 1u);
    }
    {
        FaultScope faults;
        faults.FailFrom(TFileOp::Open, 1, EACCES);
        EXPECT_FALSE(Wipe(path).Deleted());
    }
    {
        // A handed-over stream is closed even when declined.
        std::vector<Put> puts;
        ScriptedAsk ask({lw::mbCancel});
        EXPECT_NE(lw::WipeFile(std::make_unique<ProbeFileStream>(path, puts, nullptr), path, ask),
                  lw::TWipeEnd::Deleted);
        EXPECT_TRUE(puts.empty());
    }
    EXPECT_EQ(ReadFile(path), content);
}

TEST(Wipe, MissingFileGivesFalseAfterTheConfirmationAndCreatesNothing)
{
    TempDir dir;
    const WipeRun run = Wipe(dir / "gone.txt");
    EXPECT_FALSE(run.Deleted());
    EXPECT_EQ(run.boxes, 1u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(Wipe, FailedWriteOrFlushStopsTheWipeAndKeepsTheFile)
{
    struct Row {
        const char* name;
        size_t size;
        int64_t budget; // bytes the stream takes before it falls short; -1: no limit
        TFileOp failOp; // fault injected through the file system, or Open for none
        int failNth;    // the first call of failOp that fails
        int syncsExpected;
    };
    const int64_t big = 3 * int64_t{kMiB} + 5;
    const Row rows[] = {
        {"short write in pass 2", 5000, 5000 + 4096 + 100, TFileOp::Open, 0, 1},
        {"write error in pass 1", 5000, -1, TFileOp::Write, 1, 0},
        {"flush error after pass 1", 5000, -1, TFileOp::Sync, 1, 1},
        {"short write in the second MiB of pass 3", size_t(big), 2 * big + int64_t{kMiB} + 10, TFileOp::Open, 0, 2},
        {"write error on the third MiB of pass 1", size_t(big), -1, TFileOp::Write, 3, 0},
        {"flush error after pass 6", size_t(big), -1, TFileOp::Sync, 6, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir / "f.bin";
        WriteFile(path, RandomBytes(row.size, 9));
        FaultScope faults;
        std::vector<Put> puts;
        auto stream = std::make_unique<ProbeFileStream>(path, puts, &faults, row.budget);
        if (row.failOp != TFileOp::Open)
            faults.FailFrom(row.failOp, row.failNth, EIO);
        EXPECT_FALSE(Wipe(path, std::move(stream)).Deleted());
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(faults.Count(TFileOp::Sync), row.syncsExpected);
        EXPECT_EQ(faults.Count(TFileOp::Unlink), 0);
        EXPECT_EQ(ReadFile(path).size(), row.size);
        if (row.failOp == TFileOp::Write) { // nothing written after the failed call
            EXPECT_EQ(faults.Count(TFileOp::Write), row.failNth);
        }
    }
}
