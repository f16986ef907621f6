#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "CipherChecks.h"
#include "TestUtil.h"
#include "crypto/Rijndael.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

using namespace lw;
using namespace lwtest;

namespace {

Bytes EncryptBlocks(TDCP_rijndael& c, const Bytes& in)
{
    Bytes out(in.size());
    for (size_t i = 0; i + 16 <= in.size(); i += 16)
        c.EncryptBlock(in.data() + i, out.data() + i);
    return out;
}

Bytes DecryptBlocks(TDCP_rijndael& c, const Bytes& in)
{
    Bytes out(in.size());
    for (size_t i = 0; i + 16 <= in.size(); i += 16)
        c.DecryptBlock(in.data() + i, out.data() + i);
    return out;
}

// Independent references: OpenSSL's command line and Python's hashlib.
Bytes OpensslEncrypt(const std::string& cipher, const Bytes& key, const Bytes& iv, const Bytes& data)
{
    std::vector<std::string> argv{"openssl", "enc", "-e", "-" + cipher, "-K", ToHex(key), "-nopad"};
    if (!iv.empty()) {
        argv.push_back("-iv");
        argv.push_back(ToHex(iv));
    }
    return RunProgram(argv, data);
}

Bytes PythonSha1(const std::string& phrase)
{
    const Bytes hex = RunPython(
        "import hashlib, sys\n"
        "sys.stdout.write(hashlib.sha1(sys.stdin.buffer.read()).hexdigest())",
        Bytes(phrase.begin(), phrase.end()));
    return FromHex(std::string(hex.begin(), hex.end()));
}

} // namespace

// Whole key bytes decide the variant; the rest of the variant's key is zero bytes.
TEST(RijndaelTest, KeyLengthsMatchZeroPaddedAes)
{
    LWTEST_NEEDS_REFERENCE();
    struct Row {
        uint32_t bits;
        size_t aesBytes;
        uint32_t rounds;
    };
    const Row rows[] = {
        {64, 16, 10},  {120, 16, 10}, {128, 16, 10}, {132, 16, 10}, {136, 24, 12},
        {160, 24, 12}, {192, 24, 12}, {200, 32, 14}, {224, 32, 14}, {256, 32, 14},
    };
    const Bytes blocks = RandomBytes(48, 7);

    std::ostringstream request;
    for (const Row& row : rows) {
        Bytes padded = RandomBytes(32, 100 + row.bits);
        std::fill(padded.begin() + row.bits / 8, padded.end(), 0);
        padded.resize(row.aesBytes);
        request << ToHex(padded) << ' ' << ToHex(blocks) << '\n';
    }
    const std::string requestText = request.str();
    const Bytes reply = RunPython(
        "import sys\n"
        "from Cryptodome.Cipher import AES\n"
        "for line in sys.stdin:\n"
        "    k, p = (bytes.fromhex(x) for x in line.split())\n"
        "    print(AES.new(k, AES.MODE_ECB).encrypt(p).hex())\n",
        Bytes(requestText.begin(), requestText.end()));
    std::istringstream lines(std::string(reply.begin(), reply.end()));

    TDCP_rijndael cipher;
    for (const Row& row : rows) {
        SCOPED_TRACE("key bits " + std::to_string(row.bits));
        std::string expectedHex;
        ASSERT_TRUE(std::getline(lines, expectedHex));

        // The key given holds nonzero bytes past its length: they must not be read.
        Bytes key = RandomBytes(32, 100 + row.bits);
        cipher.SetKey(key.data(), row.bits, nullptr);
        EXPECT_EQ(cipher.Rounds(), row.rounds);
        EXPECT_EQ(ToHex(EncryptBlocks(cipher, blocks)), expectedHex);
        EXPECT_EQ(ToHex(DecryptBlocks(cipher, FromHex(expectedHex))), ToHex(blocks));
    }
}

TEST(RijndaelTest, KeySizeLimits)
{
    const Bytes key = RandomBytes(40, 3);
    TDCP_rijndael cipher;
    cipher.SetKey(key.data(), 256, nullptr);
    EXPECT_TRUE(cipher.Initialized());
    EXPECT_EQ(cipher.Rounds(), 14u);

    for (uint32_t bits : {0u, 2u, 162u, 260u, 264u, 512u}) {
        SCOPED_TRACE("key bits " + std::to_string(bits));
        cipher.SetKey(key.data(), 128, nullptr);
        ExpectThrowMessage<EDCP_cipher>([&] { cipher.SetKey(key.data(), bits, nullptr); }, kInvalidKeySize);
        EXPECT_FALSE(cipher.Initialized());
        EXPECT_EQ(cipher.Rounds(), 0u);
        EXPECT_TRUE(AllBytes(cipher.EncryptRoundKeyBytes(), 0x00));
    }
}

TEST(RijndaelTest, WipeClearsScheduleAndBlocksUse)
{
    TDCP_rijndael cipher;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "fresh" : "after Wipe");
        EXPECT_FALSE(cipher.Initialized());
        EXPECT_EQ(cipher.Rounds(), 0u);
        EXPECT_EQ(cipher.EncryptRoundKeyBytes().size(), 15u * 8u * 4u);
        EXPECT_EQ(cipher.DecryptRoundKeyBytes().size(), 15u * 8u * 4u);
        EXPECT_TRUE(AllBytes(cipher.EncryptRoundKeyBytes(), 0x00));
        EXPECT_TRUE(AllBytes(cipher.DecryptRoundKeyBytes(), 0x00));
        EXPECT_TRUE(AllBytes(cipher.InitVectorBytes(), 0xFF));
        EXPECT_TRUE(AllBytes(cipher.ChainValueBytes(), 0xFF));

        const Bytes key = RandomBytes(32, 11);
        cipher.SetKey(key.data(), 256, nullptr);
        EXPECT_EQ(cipher.Rounds(), 14u);
        EXPECT_FALSE(AllBytes(cipher.EncryptRoundKeyBytes(), 0x00));
        EXPECT_FALSE(AllBytes(cipher.DecryptRoundKeyBytes(), 0x00));
        cipher.Wipe();
    }
}

// The keying the file jobs use: the 20-byte SHA-1 digest of the phrase, 160 bits, no IV,
// CBC. That is AES-192 under digest + four zero bytes with IV = E(zero block). The digest
// for the reference comes from hashlib, not from our SHA-1.
TEST(RijndaelTest, DigestKeyedCbcMatchesAes192Cbc)
{
    LWTEST_NEEDS_REFERENCE();
    const std::string phrases[] = {"", "a", "correct horse battery staple",
                                   "key phrase with \xE4\xF6\xFC and \x01\x7F bytes"};
    const size_t sizes[] = {16, 32, 160, 4096, 8192 + 48};

    uint32_t seed = 1;
    for (const std::string& phrase : phrases) {
        SCOPED_TRACE("phrase '" + phrase + "'");
        const Bytes digest = PythonSha1(phrase);
        ASSERT_EQ(digest.size(), 20u);
        Bytes aesKey = digest;
        aesKey.resize(24, 0);
        const Bytes iv = OpensslEncrypt("aes-192-ecb", aesKey, {}, Bytes(16, 0));
        ASSERT_EQ(iv.size(), 16u);

        TDCP_rijndael byDigest;
        byDigest.SetKey(digest.data(), 160, nullptr);
        TDCP_rijndael cipher;
        cipher.SetKeyFromPhrase(phrase, HashClass<TDCP_sha1>());
        EXPECT_EQ(cipher.Rounds(), 12u);
        EXPECT_EQ(ToHex(cipher.InitVectorBytes().data(), 16), ToHex(iv));
        EXPECT_EQ(ToHex(byDigest.InitVectorBytes().data(), 16), ToHex(iv));
        EXPECT_EQ(ToHex(cipher.EncryptRoundKeyBytes().data(), 15 * 8 * 4),
                  ToHex(byDigest.EncryptRoundKeyBytes().data(), 15 * 8 * 4));

        for (size_t size : sizes) {
            SCOPED_TRACE("size " + std::to_string(size));
            const Bytes plain = RandomBytes(size, seed++);
            const Bytes expected = OpensslEncrypt("aes-192-cbc", aesKey, iv, plain);
            ASSERT_EQ(expected.size(), size);

            Bytes buf = plain;
            cipher.Reset();
            cipher.Encrypt(buf.data(), buf.data(), static_cast<uint32_t>(buf.size()));
            EXPECT_EQ(ToHex(buf), ToHex(expected));
            cipher.Reset();
            cipher.Decrypt(buf.data(), buf.data(), static_cast<uint32_t>(buf.size()));
            EXPECT_EQ(ToHex(buf), ToHex(plain));
        }

        // Through the stream loop: three whole pieces and a half piece.
        const Bytes plain = RandomBytes(3 * 8192 + 4096, seed++);
        const Bytes expected = OpensslEncrypt("aes-192-cbc", aesKey, iv, plain);
        TMemoryStream in, out, back;
        in.Write(plain);
        in.SetPosition(0);
        cipher.Reset();
        EXPECT_EQ(cipher.StreamEncrypt(in, out, plain.size()), plain.size());
        EXPECT_EQ(ToHex(out.Data()), ToHex(expected));

        out.SetPosition(0);
        cipher.Reset();
        EXPECT_EQ(cipher.StreamDecrypt(out, back, plain.size()), plain.size());
        EXPECT_EQ(back.Data(), plain);
    }
}
