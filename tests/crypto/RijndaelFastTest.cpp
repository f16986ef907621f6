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
        keys.push_back(
            {RandomBytes(bits / 8, seed + bits), RandomBytes(16, seed + 1000 + bits), bits});
    return keys;
}

void Key(TDCP_rijndael& c, const Keyed& k) { c.SetKey(k.key.data(), k.bits, k.iv.data()); }

Bytes ChainValue(TDCP_rijndael& c)
{
    Bytes cv(16);
    c.GetChainValue(cv.data());
    return cv;
}

// Runs the cipher over data in calls of the given lengths, in place or not.
Bytes Crypt(TDCP_rijndael& c, const Bytes& data, const std::vector<uint32_t>& calls, bool encrypt,
          bool inPlace)
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
    auto has = [&](const char* f) {
        return flags.find(" " + std::string(f) + " ") != std::string::npos;
    };
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
        EXPECT_FALSE(none.sse2 || none.ssse3 || none.sse41 || none.aes || none.avx2 ||
                     none.avx512f || none.avx512vl || none.avx512bw || none.vaes);
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

// Every CBC decryptor this build has, called directly on the same blocks.
TEST(RijndaelFast, EachDecryptorMatchesTheTableCode)
{
    if (!CpuFeatures().aes)
        GTEST_SKIP() << "no AES instructions here";
    using TDecrypt = void (*)(const TAesRoundKeys&, uint8_t*, const uint8_t*, uint8_t*, size_t);
    std::vector<TDecrypt> paths{AesNiDecryptCBC};
    if (CpuFeatures().vaes && CpuFeatures().avx2)
        paths.push_back(VaesDecryptCBC256);
    if (CpuFeatures().vaes && CpuFeatures().avx512f)
        paths.push_back(VaesDecryptCBC);
    const Bytes data = RandomBytes(16 * 1000, 41);
    for (uint32_t bits : {128u, 192u, 256u}) {
        TDCP_rijndael c;
        c.SetKey(data.data(), bits, data.data() + 40);
        const size_t stride = c.EncryptRoundKeyBytes().size() / (TDCP_rijndael::kMaxRounds + 1);
        const TAesRoundKeys keys{c.EncryptRoundKeyBytes().data(),
                                 c.DecryptRoundKeyBytes().data(), stride, c.Rounds()};
        for (size_t blocks :
             {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 36, 63, 64, 65, 1000}) {
            Bytes expected(data.begin(), data.begin() + 16 * blocks);
            {
                TablePath path;
                c.Reset();
                c.DecryptCBC(expected.data(), expected.data(), static_cast<uint32_t>(16 * blocks));
            }
            const Bytes expectedCv = ChainValue(c);
            for (TDecrypt decrypt : paths) {
                Bytes cv(c.InitVectorBytes().begin(), c.InitVectorBytes().end());
                Bytes out(16 * blocks);
                decrypt(keys, cv.data(), data.data(), out.data(), blocks);
                EXPECT_EQ(out, expected) << bits << " bits, " << blocks << " blocks";
                EXPECT_EQ(cv, expectedCv);
            }
        }
    }
}

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

TEST(RijndaelFast, UnkeyedCipherRefusesOnEveryPath)
{
    for (bool table : {false, true}) {
        std::optional<TablePath> path;
        if (table)
            path.emplace();
        TDCP_rijndael c;
        uint8_t block[16] = {};
        for (uint32_t n : {0u, 5u, 16u}) {
            for (int op = 0; op < 2; ++op) {
                try {
                    if (op == 0)
                        c.EncryptCBC(block, block, n);
                    else
                        c.DecryptCBC(block, block, n);
                    ADD_FAILURE() << "no exception, table " << table << " op " << op;
                } catch (const EDCP_blockcipher& e) {
                    EXPECT_STREQ(e.what(), kCipherNotInitialized);
                }
            }
        }
        EXPECT_THROW(c.EncryptBlock(block, block), EDCP_blockcipher);
        EXPECT_THROW(c.DecryptBlock(block, block), EDCP_blockcipher);
    }
}

} // namespace
