// Files past 2 GiB and 4 GiB, where a 32-bit size or position would wrap. The source is
// "sparse-looking": every MiB holds 4 KiB of its own random bytes and zeros after them,
// so it is written quickly and regenerated for the comparison instead of being kept.
// Each run moves gigabytes through a cipher, a minute or more even on an idle machine,
// so all are long: labelled "long" and skipped unless LOCKWELL_LONG_TESTS=1.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "JobRows.h"
#include "Reference.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;
const char* kPhrase = "large";

// MiB number index of the source.
Bytes Chunk(uint64_t index)
{
    Bytes chunk(kMiB, 0);
    const Bytes head = TextBytes(4096, static_cast<uint32_t>(index * 2654435761u + 1));
    std::copy(head.begin(), head.end(), chunk.begin());
    return chunk;
}

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

void WriteSource(const std::string& path, uint64_t size)
{
    File f(std::fopen(path.c_str(), "wb"), &std::fclose);
    ASSERT_TRUE(f);
    for (uint64_t at = 0, i = 0; at < size; at += kMiB, ++i) {
        const Bytes chunk = Chunk(i);
        const size_t n = static_cast<size_t>(std::min(kMiB, size - at));
        ASSERT_EQ(std::fwrite(chunk.data(), 1, n, f.get()), n);
    }
}

// True when path holds exactly the source of this size; says where it first differs.
bool MatchesSource(const std::string& path, uint64_t size)
{
    EXPECT_EQ(fsys::file_size(path), size);
    File f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f)
        return false;
    Bytes got(kMiB);
    for (uint64_t at = 0, i = 0; at < size; at += kMiB, ++i) {
        const size_t n = static_cast<size_t>(std::min(kMiB, size - at));
        if (std::fread(got.data(), 1, n, f.get()) != n) {
            ADD_FAILURE() << "short at MiB " << i;
            return false;
        }
        const Bytes want = Chunk(i);
        if (!std::equal(got.begin(), got.begin() + static_cast<ptrdiff_t>(n), want.begin())) {
            ADD_FAILURE() << "differs in MiB " << i;
            return false;
        }
    }
    return true;
}

// Encrypts, drops the source, decrypts under the source's name and compares.
void RoundTrip(uint64_t size, int cipher, bool compress)
{
    TempDir dir;
    const std::string source = dir / "large.bin";
    const std::string packed = source + (compress ? ".fez" : ".fe2");
    WriteSource(source, size);
    ASSERT_TRUE(EndsWithItsResult(true, JobOptions(source, kPhrase, cipher, compress)));
    ASSERT_TRUE(fsys::exists(packed));
    if (!compress) {
        EXPECT_EQ(fsys::file_size(packed), size);
        // The start of the output against the independent reference.
        Bytes head(kMiB);
        File f(std::fopen(packed.c_str(), "rb"), &std::fclose);
        ASSERT_EQ(std::fread(head.data(), 1, head.size(), f.get()), head.size());
        EXPECT_TRUE(head == ReferenceOutput(cipher, kPhrase, Chunk(0), false));
    }
    fsys::remove(source);
    ASSERT_TRUE(EndsWithItsResult(false, JobOptions(packed, kPhrase, cipher, compress)));
    EXPECT_TRUE(MatchesSource(source, size));
}

bool LongTestsWanted()
{
    const char* wanted = std::getenv("LOCKWELL_LONG_TESTS");
    return wanted && std::string(wanted) == "1";
}

} // namespace

// Past 2^31 and 2^32 bytes in one file, by the fastest cipher.
TEST(LongLargeFile, Fe2PastFourGiBRoundTrips)
{
    if (!LongTestsWanted())
        GTEST_SKIP() << "set LOCKWELL_LONG_TESTS=1 to run";
    RoundTrip(4 * kGiB + 4099, 0, false);
}

TEST(LongLargeFile, FiveGiBThroughBothFormats)
{
    if (!LongTestsWanted())
        GTEST_SKIP() << "set LOCKWELL_LONG_TESTS=1 to run";
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? ".fez" : ".fe2");
        RoundTrip(5 * kGiB, 3, compress);
    }
}

// Just past 2^31 through the compressed format and another cipher: the compressed
// stream's own sizes and positions cross it too.
TEST(LongLargeFile, FezPastTwoGiBRoundTrips)
{
    if (!LongTestsWanted())
        GTEST_SKIP() << "set LOCKWELL_LONG_TESTS=1 to run";
    RoundTrip(2 * kGiB + 1, 1, true);
}
