// The CBC paths that skip the per-block call (scalar chain, 4/8/16 vector lanes) against
// the block-by-block loop of the common base, byte for byte, on every level this CPU runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "crypto/CpuFeatures.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

using namespace lw;
using namespace lwtest;

namespace {

constexpr TSerpentLanes kLevels[] = {TSerpentLanes::Scalar, TSerpentLanes::Sse2, TSerpentLanes::Avx2,
                                     TSerpentLanes::Avx512};

std::string LevelName(TSerpentLanes lanes)
{
    const char* names[] = {"scalar", "SSE2", "AVX2", "AVX-512"};
    return names[static_cast<int>(lanes)];
}

// The levels this CPU runs; the scalar code always.
std::vector<TSerpentLanes> Levels()
{
    std::vector<TSerpentLanes> levels;
    for (TSerpentLanes lanes : kLevels)
        if (SerpentLanes(lanes) == lanes)
            levels.push_back(lanes);
    return levels;
}

// The straightforward path: the base class's loop, one EncryptBlock/DecryptBlock per block.
void PlainEncrypt(TDCP_serpent& c, const void* in, void* out, uint32_t n)
{
    c.TDCP_blockcipher128::EncryptCBC(in, out, n);
}

void PlainDecrypt(TDCP_serpent& c, const void* in, void* out, uint32_t n)
{
    c.TDCP_blockcipher128::DecryptCBC(in, out, n);
}

Bytes ChainValue(TDCP_serpent& c)
{
    Bytes cv(16);
    c.GetChainValue(cv.data());
    return cv;
}

// The same random key (of a random legal size) and IV in a fast and a plain object.
struct TPair {
    TDCP_serpent fast;
    TDCP_serpent plain;
    Bytes iv;

    TPair(TSerpentLanes lanes, uint32_t seed)
    {
        std::mt19937 rng(seed);
        const uint32_t bits = 8 * (1 + rng() % 32);
        const Bytes key = RandomBytes(32, seed + 1);
        iv = RandomBytes(16, seed + 2);
        fast.SetKey(key.data(), bits, iv.data());
        plain.SetKey(key.data(), bits, iv.data());
        fast.LimitLanes(lanes);
    }
};

// Switches every CPU feature off for its lifetime.
struct TNoCpuFeatures {
    TNoCpuFeatures() { ForceNoCpuFeatures(true); }
    ~TNoCpuFeatures() { ForceNoCpuFeatures(false); }
};

TEST(SerpentFastTest, LevelCapsFollowTheCpu)
{
    const TSerpentLanes best = SerpentLanes(TSerpentLanes::Avx512);
    for (TSerpentLanes cap : kLevels) {
        TDCP_serpent cipher;
        cipher.LimitLanes(cap);
        EXPECT_EQ(cipher.Lanes(), std::min(cap, best)) << LevelName(cap);
    }
    TDCP_serpent cipher;
    EXPECT_EQ(cipher.Lanes(), best);
    {
        TNoCpuFeatures off;
        EXPECT_EQ(cipher.Lanes(), TSerpentLanes::Scalar);
        EXPECT_EQ(SerpentLanes(TSerpentLanes::Avx512), TSerpentLanes::Scalar);
    }
    EXPECT_EQ(cipher.Lanes(), best);
}

// Lengths up to three stream pieces and a bit, each from the IV: every length up to 1100
// (every batch remainder with every tail, four times over) and every length around the
// piece boundaries. Whole blocks must equal one long block-by-block encryption, the tail
// must be XOR-ed with E(last block), and the chaining value left behind must match.
TEST(SerpentFastTest, EveryLengthMatchesBlockByBlock)
{
    constexpr uint32_t kMax = 3 * 8192 + 17;
    for (TSerpentLanes lanes : Levels()) {
        SCOPED_TRACE(LevelName(lanes));
        TPair pair(lanes, 40 + static_cast<uint32_t>(lanes));
        const Bytes plain = RandomBytes(kMax, 7);
        Bytes cipher(kMax);
        PlainEncrypt(pair.plain, plain.data(), cipher.data(), kMax);
        Bytes check(kMax);
        pair.plain.Reset();
        PlainDecrypt(pair.plain, cipher.data(), check.data(), kMax);
        ASSERT_EQ(check, plain);

        // keystream[n]: what a tail after n whole blocks is XOR-ed with.
        std::vector<Bytes> keystream;
        for (uint32_t n = 0; n <= kMax / 16; ++n) {
            Bytes k = n == 0 ? pair.iv : Bytes(cipher.begin() + 16 * (n - 1), cipher.begin() + 16 * n);
            pair.plain.EncryptBlock(k.data(), k.data());
            keystream.push_back(k);
        }

        Bytes out(kMax + 16);
        uint32_t failures = 0;
        for (uint32_t len = 0; len <= kMax && failures < 5; ++len) {
            if (len > 1100 && (len + 20) % 8192 > 40 && len < kMax - 20)
                continue;
            const uint32_t whole = len / 16 * 16;
            const Bytes& k = keystream[len / 16];
            const Bytes cvAfter = len % 16 ? k
                                  : whole  ? Bytes(cipher.begin() + whole - 16, cipher.begin() + whole)
                                           : pair.iv;
            for (bool encrypt : {true, false}) {
                const Bytes& in = encrypt ? plain : cipher;
                const Bytes& whole_expected = encrypt ? cipher : plain;
                std::fill(out.begin(), out.end(), 0xA5);
                pair.fast.Reset();
                if (encrypt)
                    pair.fast.EncryptCBC(in.data(), out.data(), len);
                else
                    pair.fast.DecryptCBC(in.data(), out.data(), len);
                bool ok = std::equal(out.begin(), out.begin() + whole, whole_expected.begin());
                for (uint32_t i = whole; i < len; ++i)
                    ok = ok && out[i] == (in[i] ^ k[i - whole]);
                ok = ok && std::all_of(out.begin() + len, out.end(), [](uint8_t b) { return b == 0xA5; });
                ok = ok && ChainValue(pair.fast) == cvAfter;
                if (!ok) {
                    ADD_FAILURE() << (encrypt ? "encrypt" : "decrypt") << " length " << len;
                    ++failures;
                }
            }
        }
    }
}

// Long buffers in calls of random lengths (whole blocks, tails, empty), in place and out of
// place: the chaining value carries over between calls exactly as in the plain loop.
TEST(SerpentFastTest, SplitCallsInPlaceAndOutOfPlace)
{
    constexpr uint32_t kSize = 150000 + 100;
    for (TSerpentLanes lanes : Levels()) {
        SCOPED_TRACE(LevelName(lanes));
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(inPlace ? "in place" : "out of place");
            TPair pair(lanes, 60 + static_cast<uint32_t>(lanes));
            std::mt19937 rng(70 + static_cast<uint32_t>(lanes));
            const Bytes data = RandomBytes(kSize, 71);
            for (bool encrypt : {true, false}) {
                Bytes expected(kSize);
                Bytes actual(kSize);
                uint32_t at = 0;
                while (at < kSize) {
                    uint32_t len = 0;
                    switch (rng() % 4) {
                    case 0: len = rng() % 40000 / 16 * 16; break;
                    case 1: len = rng() % 40000; break;
                    case 2: len = rng() % 48; break;
                    default: len = 16 * (rng() % 40); break;
                    }
                    len = std::min(len, kSize - at);
                    const uint8_t* src = data.data() + at;
                    uint8_t* dst = actual.data() + at;
                    if (inPlace) {
                        std::memcpy(dst, src, len);
                        src = dst;
                    }
                    if (encrypt) {
                        PlainEncrypt(pair.plain, data.data() + at, expected.data() + at, len);
                        pair.fast.Encrypt(src, dst, len);
                    } else {
                        PlainDecrypt(pair.plain, data.data() + at, expected.data() + at, len);
                        pair.fast.Decrypt(src, dst, len);
                    }
                    ASSERT_EQ(ChainValue(pair.fast), ChainValue(pair.plain)) << "at " << at << " length " << len;
                    at += len;
                }
                EXPECT_TRUE(actual == expected) << (encrypt ? "encrypt" : "decrypt");
            }
        }
    }
}

// With every CPU feature switched off the scalar chain runs, and gives the same bytes.
TEST(SerpentFastTest, ForcedFallbackMatches)
{
    TNoCpuFeatures off;
    TPair pair(TSerpentLanes::Avx512, 90);
    ASSERT_EQ(pair.fast.Lanes(), TSerpentLanes::Scalar);
    for (uint32_t len : {0u, 15u, 16u, 255u, 256u, 4096u + 33u, 8192u}) {
        SCOPED_TRACE(len);
        const Bytes data = RandomBytes(len, 91 + len);
        Bytes expected(len), actual(len);
        pair.plain.Reset();
        pair.fast.Reset();
        PlainEncrypt(pair.plain, data.data(), expected.data(), len);
        pair.fast.EncryptCBC(data.data(), actual.data(), len);
        EXPECT_EQ(actual, expected);
        pair.plain.Reset();
        pair.fast.Reset();
        PlainDecrypt(pair.plain, data.data(), expected.data(), len);
        pair.fast.DecryptCBC(data.data(), actual.data(), len);
        EXPECT_EQ(actual, expected);
    }
}

// What a file holds: phrase-keyed, 8 KiB pieces; every level writes the same stream.
TEST(SerpentFastTest, PhraseKeyedStreamsIdenticalOnEveryLevel)
{
    const Bytes data = RandomBytes(5 * 8192 + 1234, 95);
    TMemoryStream source;
    source.Write(data);
    Bytes reference;
    for (TSerpentLanes lanes : Levels()) {
        SCOPED_TRACE(LevelName(lanes));
        TDCP_serpent cipher;
        cipher.LimitLanes(lanes);
        cipher.SetKeyFromPhrase("piece by piece", HashClass<TDCP_sha1>());
        TMemoryStream encrypted, decrypted;
        source.SetPosition(0);
        ASSERT_EQ(cipher.StreamEncrypt(source, encrypted, data.size()), data.size());
        if (reference.empty())
            reference = encrypted.Data();
        EXPECT_TRUE(encrypted.Data() == reference);
        cipher.Reset();
        encrypted.SetPosition(0);
        cipher.StreamDecrypt(encrypted, decrypted, data.size());
        EXPECT_TRUE(decrypted.Data() == data);
    }
}

} // namespace
