#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "CipherChecks.h"
#include "TestUtil.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"

using namespace lw;
using namespace lwtest;

namespace {

// The S-boxes as published by the designers; the circuits are checked against these.
const int PUBLISHED_SBOXES[8][16] = {
    {3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12}, {15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4},
    {8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2}, {0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14},
    {1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13}, {15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1},
    {7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0}, {1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6},
};

const std::string REFERENCE = std::string(LOCKWELL_TEST_DATA_DIR) + "/../crypto/serpent_reference.py";

// Runs the standard-mode reference over the request lines; one reply line per request.
std::vector<std::string> RunReference(const std::string& request)
{
    const Bytes reply = RunProgram({LOCKWELL_PYTHON, REFERENCE}, Bytes(request.begin(), request.end()));
    std::vector<std::string> lines;
    std::istringstream in(std::string(reply.begin(), reply.end()));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

Bytes Encrypt(TDCP_serpent& c, const Bytes& in)
{
    Bytes out(16);
    c.EncryptBlock(in.data(), out.data());
    return out;
}

Bytes Decrypt(TDCP_serpent& c, const Bytes& in)
{
    Bytes out(16);
    c.DecryptBlock(in.data(), out.data());
    return out;
}

Bytes Schedule(const TDCP_serpent& c)
{
    const auto bytes = c.SubKeyBytes();
    return Bytes(bytes.begin(), bytes.end());
}

// The 256-bit key a shorter key stands for: its whole bytes, the bit right above the
// key set, zeros beyond.
Bytes PaddedKey(const Bytes& key, uint32_t bits)
{
    Bytes padded(32, 0);
    std::copy_n(key.begin(), bits / 8, padded.begin());
    if (bits < 256)
        padded[bits / 8] = static_cast<uint8_t>(1u << (bits % 8));
    return padded;
}

} // namespace

#ifndef _WIN32
// The standard-mode reference agrees with every stored answer (on Linux, where it runs);
// the vectors themselves are checked with the other ciphers' in VectorsTest.
TEST(SerpentTest, ReferenceAgreesWithThePublishedVectors)
{
    std::ostringstream request;
    std::vector<std::string> expected;
    for (const auto& [section, vectors] : ReadVecFile("serpent.vec").sections)
        for (const auto& v : vectors) {
            request << ToHex(v.at("Key")) << ' ' << ToHex(v.at("In")) << '\n';
            expected.push_back(ToHex(v.at("Out")));
        }
    EXPECT_EQ(RunReference(request.str()), expected);
}
#endif

// Bit position j of the four words is one S-box input, word 0 its low bit: positions
// 0..15 (and again 16..31) run through all 16 inputs in one call.
TEST(SerpentTest, SboxCircuitsMatchPublishedTables)
{
    for (unsigned box = 0; box < 8; ++box) {
        int inverse[16];
        for (int v = 0; v < 16; ++v)
            inverse[PUBLISHED_SBOXES[box][v]] = v;

        TDCP_serpent::TWords forward{0xAAAAAAAA, 0xCCCCCCCC, 0xF0F0F0F0, 0xFF00FF00};
        TDCP_serpent::TWords backward = forward;
        TDCP_serpent::ApplySbox(box, forward);
        TDCP_serpent::ApplyInverseSbox(box, backward);
        for (unsigned j = 0; j < 32; ++j) {
            int f = 0, b = 0;
            for (unsigned w = 0; w < 4; ++w) {
                f |= static_cast<int>((forward[w] >> j) & 1) << w;
                b |= static_cast<int>((backward[w] >> j) & 1) << w;
            }
            EXPECT_EQ(f, PUBLISHED_SBOXES[box][j % 16]) << "S" << box << " input " << j % 16;
            EXPECT_EQ(b, inverse[j % 16]) << "inverse S" << box << " input " << j % 16;
        }
    }
}

// Random keys of every whole-byte length and random blocks, against the standard-mode
// reference written from the designers' description.
TEST(SerpentTest, MatchesStandardModeReference)
{
    LWTEST_NEEDS_REFERENCE();
    std::ostringstream request;
    std::vector<std::pair<Bytes, Bytes>> cases;
    for (uint32_t bytes = 1; bytes <= 32; ++bytes) {
        for (uint32_t n = 0; n < 2; ++n) {
            cases.emplace_back(RandomBytes(bytes, 1000 + 2 * bytes + n), RandomBytes(16, 2000 + 2 * bytes + n));
            request << ToHex(cases.back().first) << ' ' << ToHex(cases.back().second) << '\n';
        }
    }
    const auto reply = RunReference(request.str());
    ASSERT_EQ(reply.size(), cases.size());

    TDCP_serpent cipher;
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [key, plain] = cases[i];
        SCOPED_TRACE("key " + ToHex(key) + " plain " + ToHex(plain));
        cipher.SetKey(key.data(), static_cast<uint32_t>(key.size() * 8), nullptr);
        const Bytes out = Encrypt(cipher, plain);
        EXPECT_EQ(ToHex(out), reply[i]);
        EXPECT_EQ(ToHex(Decrypt(cipher, out)), ToHex(plain));
    }
}

// The named cases, written out byte by byte.
TEST(SerpentTest, ShortKeysArePaddedWithOneBit)
{
    const Bytes key = FromHex("0123456789abcdeffedcba9876543210f0e1d2c3b4a5968778695a4b3c2d1e0f");
    struct Row {
        uint32_t bits;
        const char* full;
    };
    const Row rows[] = {
        {160,
         "0123456789abcdeffedcba9876543210f0e1d2c3"
         "01"
         "0000000000000000000000"},
        {128,
         "0123456789abcdeffedcba9876543210"
         "01"
         "000000000000000000000000000000"},
        // Only the 20 whole bytes are taken; the low nibble of byte 20 (b4) is not.
        {164,
         "0123456789abcdeffedcba9876543210f0e1d2c3"
         "10"
         "0000000000000000000000"},
        {256, "0123456789abcdeffedcba9876543210f0e1d2c3b4a5968778695a4b3c2d1e0f"},
    };
    const Bytes block = RandomBytes(16, 11);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bits);
        const Bytes full = FromHex(row.full);
        ASSERT_EQ(full.size(), 32u);
        TDCP_serpent shortKey, longKey;
        shortKey.SetKey(key.data(), row.bits, nullptr);
        longKey.SetKey(full.data(), 256, nullptr);
        EXPECT_EQ(Schedule(shortKey), Schedule(longKey));
        EXPECT_EQ(ToHex(Encrypt(shortKey, block)), ToHex(Encrypt(longKey, block)));
    }
}

// Every accepted size, whole bytes or not, against the 256-bit key it stands for; the
// byte after the key holds bits that must not leak into the schedule.
TEST(SerpentTest, EverySizeEqualsItsPaddedKey)
{
    for (uint32_t bits = 4; bits <= 256; bits += 4) {
        SCOPED_TRACE(bits);
        Bytes key = RandomBytes(33, bits);
        key[bits / 8] = 0xFF;
        TDCP_serpent shortKey, longKey;
        shortKey.SetKey(key.data(), bits, nullptr);
        const Bytes padded = PaddedKey(key, bits);
        longKey.SetKey(padded.data(), 256, nullptr);
        EXPECT_EQ(Schedule(shortKey), Schedule(longKey));
    }
}

TEST(SerpentTest, OversizedKeyIsRefused)
{
    const Bytes key = RandomBytes(40, 3);
    TDCP_serpent cipher;
    cipher.SetKey(key.data(), 256, nullptr);
    ASSERT_FALSE(AllBytes(cipher.SubKeyBytes(), 0x00));
    for (uint32_t bits : {260u, 264u, 320u}) {
        SCOPED_TRACE(bits);
        ExpectThrowMessage<EDCP_cipher>([&] { cipher.SetKey(key.data(), bits, nullptr); }, "Invalid key size");
        EXPECT_FALSE(cipher.Initialized());
        EXPECT_TRUE(AllBytes(cipher.SubKeyBytes(), 0x00));
    }
}

TEST(SerpentTest, WipeClearsScheduleAndBlocksUse)
{
    TDCP_serpent cipher;
    EXPECT_TRUE(AllBytes(cipher.SubKeyBytes(), 0x00));
    const Bytes key = RandomBytes(20, 5);
    cipher.SetKey(key.data(), 160, nullptr);
    ASSERT_EQ(cipher.SubKeyBytes().size(), 132u * 4);
    ASSERT_FALSE(AllBytes(cipher.SubKeyBytes(), 0x00));

    cipher.Wipe();
    EXPECT_FALSE(cipher.Initialized());
    EXPECT_TRUE(AllBytes(cipher.SubKeyBytes(), 0x00));
    EXPECT_TRUE(AllBytes(cipher.InitVectorBytes(), 0xFF));
    EXPECT_TRUE(AllBytes(cipher.ChainValueBytes(), 0xFF));
}

TEST(SerpentTest, ModesRoundTripEveryLength)
{
    const TDCP_ciphermode modes[] = {cmCBC, cmCFB8bit, cmCFBblock, cmOFB, cmCTR};
    const Bytes key = RandomBytes(20, 9);
    const Bytes data = RandomBytes(49, 10);
    TDCP_serpent cipher;
    cipher.SetKey(key.data(), 160, nullptr);
    for (TDCP_ciphermode mode : modes) {
        cipher.SetCipherMode(mode);
        for (uint32_t n = 0; n <= 49; ++n) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " length " << n);
            const Bytes plain(data.begin(), data.begin() + n);
            Bytes buf = plain;
            cipher.Reset();
            cipher.Encrypt(buf.data(), buf.data(), n);
            if (n >= 4) {
                EXPECT_NE(buf, plain);
            }
            cipher.Reset();
            cipher.Decrypt(buf.data(), buf.data(), n);
            EXPECT_EQ(buf, plain);
        }
    }
}

// Whole blocks chain through E; a partial last block is XOR-ed with E(last ciphertext
// block), or E(IV) when there is no full block, in both directions.
TEST(SerpentTest, CbcTailUsesEncryptionOfLastBlock)
{
    const Bytes key = RandomBytes(32, 12);
    TDCP_serpent cipher;
    cipher.SetKey(key.data(), 256, nullptr);
    const Bytes iv = Encrypt(cipher, Bytes(16, 0));

    for (uint32_t n : {0u, 5u, 15u, 16u, 17u, 37u, 48u}) {
        SCOPED_TRACE(n);
        const Bytes plain = RandomBytes(n, 100 + n);
        Bytes expected;
        Bytes cv = iv;
        size_t i = 0;
        for (; i + 16 <= n; i += 16) {
            Bytes x(plain.begin() + i, plain.begin() + i + 16);
            for (size_t j = 0; j < 16; ++j)
                x[j] ^= cv[j];
            cv = Encrypt(cipher, x);
            expected.insert(expected.end(), cv.begin(), cv.end());
        }
        const Bytes keystream = Encrypt(cipher, cv);
        for (size_t j = 0; i + j < n; ++j)
            expected.push_back(plain[i + j] ^ keystream[j]);

        cipher.Reset();
        Bytes buf = plain;
        cipher.Encrypt(buf.data(), buf.data(), n);
        EXPECT_EQ(ToHex(buf), ToHex(expected));
        cipher.Reset();
        cipher.Decrypt(buf.data(), buf.data(), n);
        EXPECT_EQ(ToHex(buf), ToHex(plain));
    }
}

// What an encrypted file holds: the key is the SHA-1 digest of the phrase (hashlib), the
// message is chained in CBC from E(0) with the partial-block rule (the reference).
TEST(SerpentTest, PhraseKeyedMessageMatchesReference)
{
    LWTEST_NEEDS_REFERENCE();
    const std::string phrases[] = {"", "abc", "correct horse battery staple"};
    const uint32_t lengths[] = {0, 7, 16, 41, 100};

    std::ostringstream digests;
    for (const auto& p : phrases)
        digests << ToHex(Bytes(p.begin(), p.end())) << '\n';
    const std::string digestRequest = digests.str();
    const Bytes digestReply = RunPython(
        "import hashlib, sys\n"
        "for line in sys.stdin:\n"
        "    print(hashlib.sha1(bytes.fromhex(line.strip())).hexdigest())\n",
        Bytes(digestRequest.begin(), digestRequest.end()));
    std::istringstream digestLines(std::string(digestReply.begin(), digestReply.end()));

    std::ostringstream request;
    std::vector<Bytes> outputs;
    for (const auto& phrase : phrases) {
        std::string digest;
        std::getline(digestLines, digest);
        ASSERT_EQ(digest.size(), 40u);
        for (uint32_t n : lengths) {
            const Bytes message = RandomBytes(n, 300 + n);
            TDCP_serpent cipher;
            cipher.SetKeyFromPhrase(phrase, HashClass<TDCP_sha1>());
            Bytes out = message;
            cipher.Encrypt(out.data(), out.data(), n);
            outputs.push_back(out);
            request << "cbc " << digest << ' ' << ToHex(message) << '\n';
        }
    }
    const auto reply = RunReference(request.str());
    ASSERT_EQ(reply.size(), outputs.size());
    for (size_t i = 0; i < outputs.size(); ++i)
        EXPECT_EQ(ToHex(outputs[i]), reply[i]) << "case " << i;
}
