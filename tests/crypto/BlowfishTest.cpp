#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "CipherChecks.h"
#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;
using lwtest::FromHex;
using lwtest::ToHex;

namespace {

Bytes EncryptEcb(TDCP_blowfish& c, const Bytes& in)
{
    Bytes out(in.size());
    for (size_t i = 0; i < in.size(); i += 8)
        c.EncryptBlock(in.data() + i, out.data() + i);
    return out;
}

bool AllFF(std::span<const uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

// Each stdin line is "key plaintext" in hex; prints the reference ECB ciphertext per line.
const char* kReferenceEcb = R"(
import sys
from Cryptodome.Cipher import Blowfish
for line in sys.stdin:
    k, p = line.split()
    print(Blowfish.new(bytes.fromhex(k), Blowfish.MODE_ECB).encrypt(bytes.fromhex(p)).hex())
)";

// Each stdin line is "message phrase" in hex (the phrase may be empty); prints
// "sha1(phrase) cbc(message)" with the digest as key and E(zero block) as IV.
const char* kReferenceCbc = R"(
import sys, hashlib
from Cryptodome.Cipher import Blowfish
for line in sys.stdin:
    msg, *phrase = (bytes.fromhex(x) for x in line.split())
    phrase = phrase[0] if phrase else b""
    key = hashlib.sha1(phrase).digest()
    iv = Blowfish.new(key, Blowfish.MODE_ECB).encrypt(bytes(8))
    print(key.hex(), Blowfish.new(key, Blowfish.MODE_CBC, iv).encrypt(msg).hex())
)";

std::vector<std::string> Lines(const Bytes& out)
{
    std::istringstream s(std::string(out.begin(), out.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(s, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

// Short keys repeat byte by byte through the P-array, whatever the key length, so a key
// and the same key written twice give one schedule; the reference checks the actual values.
TEST(Blowfish, KeyCyclingMatchesReference)
{
    LWTEST_NEEDS_REFERENCE();
    const size_t lengths[] = {1, 2, 3, 4, 5, 7, 8, 13, 20, 28, 55, 56};
    const Bytes plain = lwtest::RandomBytes(32, 7);
    std::string job;
    std::vector<Bytes> keys;
    for (size_t n : lengths) {
        keys.push_back(lwtest::RandomBytes(n, static_cast<uint32_t>(100 + n)));
        if (n >= 5) // the reference refuses the shortest keys
            job += ToHex(keys.back()) + " " + ToHex(plain) + "\n";
    }
    const auto expected = Lines(lwtest::RunPython(kReferenceEcb, Bytes(job.begin(), job.end())));
    ASSERT_EQ(expected.size(), 8u);

    TDCP_blowfish c, twice;
    size_t line = 0;
    for (const Bytes& key : keys) {
        SCOPED_TRACE(key.size());
        c.SetKey(key.data(), static_cast<uint32_t>(key.size() * 8), nullptr);
        const Bytes ct = EncryptEcb(c, plain);
        if (key.size() >= 5) {
            EXPECT_EQ(ToHex(ct), expected[line++]);
        }
        if (key.size() <= 28) {
            Bytes doubled = key;
            doubled.insert(doubled.end(), key.begin(), key.end());
            twice.SetKey(doubled.data(), static_cast<uint32_t>(doubled.size() * 8), nullptr);
            EXPECT_EQ(ToHex(EncryptEcb(twice, plain)), ToHex(ct));
        }
    }
}

TEST(Blowfish, KeySizeEdges)
{
    const Bytes key = lwtest::RandomBytes(57, 3);
    TDCP_blowfish c;
    c.SetKey(key.data(), 448, nullptr);
    EXPECT_TRUE(c.Initialized());

    // A size that is not whole bytes uses only the whole bytes.
    TDCP_blowfish byteOnly;
    byteOnly.SetKey(key.data(), 8, nullptr);
    c.SetKey(key.data(), 12, nullptr);
    const Bytes plain(8, 0x5A);
    EXPECT_EQ(ToHex(EncryptEcb(c, plain)), ToHex(EncryptEcb(byteOnly, plain)));

    for (uint32_t bits : {452u, 4u, 0u, 62u}) {
        SCOPED_TRACE(bits);
        c.SetKey(key.data(), 64, nullptr);
        try {
            c.SetKey(key.data(), bits, nullptr);
            ADD_FAILURE() << "accepted";
        } catch (const EDCP_cipher& e) {
            EXPECT_STREQ(e.what(), kInvalidKeySize);
        }
        EXPECT_FALSE(c.Initialized());
        EXPECT_TRUE(AllFF(c.SBoxBytes()));
        EXPECT_TRUE(AllFF(c.PArrayBytes()));
        uint8_t block[8] = {};
        EXPECT_THROW(c.EncryptBlock(block, block), EDCP_blockcipher);
    }
}

TEST(Blowfish, WipeAndUnkeyedUse)
{
    TDCP_blowfish c;
    auto expectUnkeyed = [&] {
        EXPECT_FALSE(c.Initialized());
        EXPECT_EQ(c.SBoxBytes().size(), 4096u);
        EXPECT_EQ(c.PArrayBytes().size(), 72u);
        EXPECT_TRUE(AllFF(c.SBoxBytes()));
        EXPECT_TRUE(AllFF(c.PArrayBytes()));
        EXPECT_TRUE(AllFF(c.InitVectorBytes()));
        EXPECT_TRUE(AllFF(c.ChainValueBytes()));
    };
    expectUnkeyed();
    const Bytes key = FromHex("0123456789abcdeffedcba9876543210");
    c.SetKey(key.data(), 128, nullptr);
    EXPECT_FALSE(AllFF(c.SBoxBytes()));
    EXPECT_FALSE(AllFF(c.PArrayBytes()));
    c.Wipe();
    expectUnkeyed();
}

// The way the file jobs run it: SHA-1 digest as a 160-bit key, no IV, CBC.
TEST(Blowfish, PhraseDigestCbcMatchesReference)
{
    LWTEST_NEEDS_REFERENCE();
    const std::pair<std::string, size_t> jobs[] = {
        {"", 8}, {"correct horse", 64}, {"Lockwell key phrase", 1024}, {"x", 4104}, {"stream", 20000}};
    std::string job;
    std::vector<Bytes> messages;
    for (const auto& [phrase, size] : jobs) {
        messages.push_back(lwtest::RandomBytes(size, static_cast<uint32_t>(size)));
        job += ToHex(messages.back()) + " " + ToHex(Bytes(phrase.begin(), phrase.end())) + "\n";
    }
    const auto expected = Lines(lwtest::RunPython(kReferenceCbc, Bytes(job.begin(), job.end())));
    ASSERT_EQ(expected.size(), messages.size());

    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(jobs[i].first);
        const auto space = expected[i].find(' ');
        const Bytes digest = FromHex(expected[i].substr(0, space));
        const std::string want = expected[i].substr(space + 1);
        ASSERT_EQ(digest.size(), 20u);
        TDCP_blowfish c;
        c.SetKey(digest.data(), 160, nullptr);
        const Bytes& msg = messages[i];
        if (msg.size() == 20000) {
            TMemoryStream in, out, back;
            in.WriteBuffer(msg);
            in.SetPosition(0);
            EXPECT_EQ(c.StreamEncrypt(in, out, msg.size()), msg.size());
            EXPECT_EQ(ToHex(out.Data()), want);
            c.Reset();
            out.SetPosition(0);
            EXPECT_EQ(c.StreamDecrypt(out, back, msg.size()), msg.size());
            EXPECT_EQ(back.Data(), msg);
        } else {
            Bytes buf = msg;
            c.Encrypt(buf.data(), buf.data(), static_cast<uint32_t>(buf.size()));
            EXPECT_EQ(ToHex(buf), want);
            c.Reset();
            c.Decrypt(buf.data(), buf.data(), static_cast<uint32_t>(buf.size()));
            EXPECT_EQ(buf, msg);
        }

        // Keying from the phrase itself must reach the same key.
        TDCP_blowfish byPhrase;
        byPhrase.SetKeyFromPhrase(jobs[i].first, HashClass<TDCP_sha1>());
        Bytes buf = msg;
        byPhrase.Encrypt(buf.data(), buf.data(), static_cast<uint32_t>(buf.size()));
        EXPECT_EQ(ToHex(buf), want) << "SetKeyFromPhrase";
    }
}
