// The instruction paths against the table code, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "crypto/CpuFeatures.h"
#include "crypto/Rijndael.h"
#include "crypto/RijndaelNi.h"
#include "platform/MemoryStream.h"

using namespace lw;
using namespace lwtest;

namespace {

// Scope in which every cipher takes the table path.
class TablePath {
public:
    TablePath() { ForceNoCpuFeatures(true); }
    ~TablePath() { ForceNoCpuFeatures(false); }
    TablePath(const TablePath&) = delete;
    TablePath& operator=(const TablePath&) = delete;
};

constexpr uint32_t kSweepMax = 3 * 8192 + 17;

struct Keyed {
    Bytes key;
    Bytes iv;
    uint32_t bits;
};

// Key sizes 8..256 bits in steps of 8, each with its own IV.
std::vector<Keyed> AllKeySizes(uint32_t seed)
{
    std::vector<Keyed> keys;
    for (uint32_t bits = 8; bits <= 256; bits += 8)
        keys.push_back({RandomBytes(bits / 8, seed + bits), RandomBytes(16, seed + 1000 + bits), bits});
    return keys;
}

void Key(TDCP_rijndael& c, const Keyed& k)
{
    c.SetKey(k.key.data(), k.bits, k.iv.data());
}

Bytes ChainValue(TDCP_rijndael& c)
{
    Bytes cv(16);
    c.GetChainValue(cv.data());
    return cv;
}

// Runs the cipher over data in calls of the given lengths, in place or not.
Bytes Crypt(TDCP_rijndael& c, const Bytes& data, const std::vector<uint32_t>& calls, bool encrypt, bool inPlace)
{
    Bytes out(data.size(), 0xEE);
    Bytes in = data;
    size_t at = 0;
    for (uint32_t n : calls) {
        uint8_t* dst = out.data() + at;
        const uint8_t* src = in.data() + at;
        if (inPlace) {
            std::copy(src, src + n, dst);
            src = dst;
        }
        if (encrypt)
            c.Encrypt(src, dst, n);
        else
            c.Decrypt(src, dst, n);
        at += n;
    }
    return out;
}

// Call lengths summing to total: odd sizes, block multiples and empty calls mixed.
std::vector<uint32_t> Splits(uint32_t total, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint32_t> calls;
    while (total > 0) {
        uint32_t n = 0;
        switch (rng() % 4) {
        case 0: n = rng() % 40; break;
        case 1: n = 16 * (rng() % 600); break;
        case 2: n = rng() % 20000; break;
        default: n = 8192; break;
        }
        n = std::min(n, total);
        calls.push_back(n);
        total -= n;
    }
    return calls;
}

TEST(RijndaelFast, MachineHasTheInstructionsOrTheTestSaysSo)
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    std::string flags;
    while (std::getline(cpuinfo, line))
        if (line.rfind("flags", 0) == 0) {
            flags = line + " ";
            break;
        }
    ASSERT_FALSE(flags.empty());
    auto has = [&](const char* f) { return flags.find(" " + std::string(f) + " ") != std::string::npos; };
    const TCpuFeatures& cpu = CpuFeatures();
    EXPECT_EQ(cpu.sse2, has("sse2"));
    EXPECT_EQ(cpu.ssse3, has("ssse3"));
    EXPECT_EQ(cpu.sse41, has("sse4_1"));
    EXPECT_EQ(cpu.aes, has("aes"));
    EXPECT_EQ(cpu.avx2, has("avx2"));
    EXPECT_EQ(cpu.avx512f, has("avx512f"));
    EXPECT_EQ(cpu.avx512vl, has("avx512vl"));
    EXPECT_EQ(cpu.avx512bw, has("avx512bw"));
    EXPECT_EQ(cpu.vaes, has("vaes"));
    {
        TablePath table;
        const TCpuFeatures& none = CpuFeatures();
        EXPECT_FALSE(none.sse2 || none.ssse3 || none.sse41 || none.aes || none.avx2 || none.avx512f || none.avx512vl ||
                     none.avx512bw || none.vaes);
    }
    EXPECT_EQ(CpuFeatures().aes, has("aes"));
}

// Every length up to three pieces and a bit, each with one of the key sizes. A length's
// whole blocks are the prefix of the longest run; its tail comes from a table cipher
// keyed at the last chaining value, as the table code's own tail would.
TEST(RijndaelFast, EveryLengthMatchesTheTableCode)
{
    const std::vector<Keyed> keys = AllKeySizes(11);
    const Bytes plain = RandomBytes(kSweepMax, 12);
    std::vector<Bytes> cipherText;
    std::vector<Bytes> decrypted;
    {
        TablePath table;
        for (const Keyed& k : keys) {
            TDCP_rijndael c;
            Key(c, k);
            cipherText.push_back(Crypt(c, plain, {kSweepMax / 16 * 16}, true, false));
            c.Reset();
            decrypted.push_back(Crypt(c, plain, {kSweepMax / 16 * 16}, false, false));
        }
    }
    TDCP_rijndael table;
    TDCP_rijndael fast;
    for (uint32_t len = 0; len <= kSweepMax; ++len) {
        const size_t ki = len % keys.size();
        const Keyed& k = keys[ki];
        const uint32_t whole = len / 16 * 16;
        for (bool encrypt : {true, false}) {
            const Bytes& ref = encrypt ? cipherText[ki] : decrypted[ki];
            Key(fast, k);
            Bytes out(plain.begin(), plain.begin() + len);
            if (encrypt)
                fast.EncryptCBC(out.data(), out.data(), len);
            else
                fast.DecryptCBC(out.data(), out.data(), len);
            Bytes expected(ref.begin(), ref.begin() + whole);
            // The last ciphertext block chains on: ours encrypting, the input decrypting.
            const Bytes& chained = encrypt ? ref : plain;
            Bytes cv = whole ? Bytes(chained.begin() + whole - 16, chained.begin() + whole) : k.iv;
            if (len % 16) {
                TablePath path;
                Key(table, k);
                table.SetInitVector(cv.data());
                Bytes tail(plain.begin() + whole, plain.begin() + len);
                table.EncryptCBC(tail.data(), tail.data(), len % 16);
                expected.insert(expected.end(), tail.begin(), tail.end());
                cv = ChainValue(table);
            }
            ASSERT_EQ(out, expected) << "length " << len << " key bits " << k.bits
                                     << (encrypt ? " encrypt" : " decrypt");
            ASSERT_EQ(ChainValue(fast), cv) << "length " << len;
        }
    }
}

// Large buffers, calls split at odd places, in place and out of place.
TEST(RijndaelFast, SplitCallsMatchTheTableCode)
{
    const std::vector<Keyed> keys = AllKeySizes(21);
    uint32_t seed = 100;
    for (size_t ki = 0; ki < keys.size(); ki += 5) {
        const Keyed& k = keys[ki];
        const uint32_t size = (ki % 2 ? 300000 : 65536) + ki;
        const Bytes data = RandomBytes(size, ++seed);
        const std::vector<uint32_t> calls = Splits(size, ++seed);
        for (bool encrypt : {true, false})
            for (bool inPlace : {false, true}) {
                TDCP_rijndael c;
                Key(c, k);
                const Bytes fast = Crypt(c, data, calls, encrypt, inPlace);
                const Bytes fastCv = ChainValue(c);
                TablePath path;
                Key(c, k);
                EXPECT_EQ(Crypt(c, data, calls, encrypt, inPlace), fast)
                    << "key bits " << k.bits << " encrypt " << encrypt << " in place " << inPlace;
                EXPECT_EQ(ChainValue(c), fastCv);
            }
    }
}

TEST(RijndaelFast, RoundTripAcrossPathsThroughStreams)
{
    const Bytes data = RandomBytes(3 * 8192 + 17, 31);
    for (bool encryptFast : {true, false}) {
        TDCP_rijndael c;
        TMemoryStream source;
        source.Write(data);
        source.SetPosition(0);
        TMemoryStream middle;
        TMemoryStream back;
        {
            std::optional<TablePath> path;
            if (!encryptFast)
                path.emplace();
            c.SetKey(data.data(), 192, nullptr);
            EXPECT_EQ(c.StreamEncrypt(source, middle, data.size()), data.size());
        }
        middle.SetPosition(0);
        {
            std::optional<TablePath> path;
            if (encryptFast)
                path.emplace();
            c.Reset();
            EXPECT_EQ(c.StreamDecrypt(middle, back, data.size()), data.size());
        }
        const auto out = back.Data();
        EXPECT_EQ(Bytes(out.begin(), out.end()), data);
    }
}

// Every CBC path this build has, called directly on the same blocks; one test per path,
// skipped with its reason where this CPU cannot run it.
using TCbcPath = void (*)(const TAesRoundKeys&, uint8_t*, const uint8_t*, uint8_t*, size_t);

struct CbcPathCase {
    const char* name;
    TCbcPath run;
    bool encrypt;
    // What this CPU lacks for the path, or null when it can run it.
    const char* (*missing)();
};

const char* MissingAes()
{
    return CpuFeatures().aes ? nullptr : "AES-NI not available on this CPU";
}

const char* MissingVaes(bool wide512)
{
    if (const char* aes = MissingAes())
        return aes;
    if (!CpuFeatures().vaes)
        return "VAES not available on this CPU";
    if (wide512 && !CpuFeatures().avx512f)
        return "AVX-512 not available on this CPU";
    if (!wide512 && !CpuFeatures().avx2)
        return "AVX2 not available on this CPU";
    return nullptr;
}

const CbcPathCase kCbcPaths[] = {
    {"AesNiEncrypt", AesNiEncryptCBC, true, MissingAes},
    {"AesNiDecrypt", AesNiDecryptCBC, false, MissingAes},
    {"Vaes256Decrypt", VaesDecryptCBC256, false, [] { return MissingVaes(false); }},
    {"Vaes512Decrypt", VaesDecryptCBC, false, [] { return MissingVaes(true); }},
};

class CbcPaths : public ::testing::TestWithParam<CbcPathCase> {};

TEST_P(CbcPaths, MatchesTheTableCode)
{
    const CbcPathCase& path = GetParam();
    if (const char* reason = path.missing())
        GTEST_SKIP() << reason;
    const Bytes data = RandomBytes(16 * 1000, 41);
    for (uint32_t bits : {128u, 192u, 256u}) {
        TDCP_rijndael c;
        c.SetKey(data.data(), bits, data.data() + 40);
        const size_t stride = c.EncryptRoundKeyBytes().size() / (TDCP_rijndael::kMaxRounds + 1);
        const TAesRoundKeys keys{c.EncryptRoundKeyBytes().data(), c.DecryptRoundKeyBytes().data(), stride, c.Rounds()};
        for (size_t blocks : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 36, 63, 64, 65, 1000}) {
            const uint32_t n = static_cast<uint32_t>(16 * blocks);
            Bytes expected(data.begin(), data.begin() + n);
            {
                TablePath table;
                c.Reset();
                if (path.encrypt)
                    c.EncryptCBC(expected.data(), expected.data(), n);
                else
                    c.DecryptCBC(expected.data(), expected.data(), n);
            }
            const Bytes expectedCv = ChainValue(c);
            Bytes cv(c.InitVectorBytes().begin(), c.InitVectorBytes().end());
            Bytes out(n);
            path.run(keys, cv.data(), data.data(), out.data(), blocks);
            EXPECT_EQ(out, expected) << bits << " bits, " << blocks << " blocks";
            EXPECT_EQ(cv, expectedCv);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RijndaelFast, CbcPaths, ::testing::ValuesIn(kCbcPaths),
                         [](const auto& instance) { return std::string(instance.param.name); });

// The other modes reach the instructions through the single-block calls.
TEST(RijndaelFast, OtherModesMatchTheTableCode)
{
    const Bytes data = RandomBytes(5000, 51);
    const std::vector<uint32_t> calls = {1, 15, 16, 17, 100, 4096, 755};
    for (TDCP_ciphermode mode : {cmCFB8bit, cmCFBblock, cmOFB, cmCTR})
        for (bool encrypt : {true, false}) {
            TDCP_rijndael c;
            c.SetCipherMode(mode);
            c.SetKey(data.data(), 256, nullptr);
            const Bytes fast = Crypt(c, data, calls, encrypt, true);
            TablePath path;
            c.SetKey(data.data(), 256, nullptr);
            EXPECT_EQ(Crypt(c, data, calls, encrypt, true), fast) << "mode " << int(mode);
        }
}

} // namespace
