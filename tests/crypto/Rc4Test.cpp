#include <gtest/gtest.h>

#include "TestUtil.h"
#include "crypto/Rc4.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

// Textbook RC4 over one continuous key stream, as an independent reference.
Bytes ReferenceRc4(const Bytes& key, const Bytes& data)
{
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % key.size()]) & 255;
        std::swap(s[i], s[j]);
    }
    Bytes out(data.size());
    for (size_t k = 0, i = 0, j = 0; k < data.size(); ++k) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        out[k] = data[k] ^ s[(s[i] + s[j]) & 255];
    }
    return out;
}

} // namespace

// Each call restarts i and j at zero on the permutation left by the last call.
TEST(Rc4, IndicesRestartOnEveryCall)
{
    const Bytes key = lwtest::FromHex("0102030405");
    const Bytes plain = lwtest::RandomBytes(10, 3);
    TDCP_rc4 one, two;
    one.SetKey(key.data(), 40, nullptr);
    two.SetKey(key.data(), 40, nullptr);
    Bytes a(10), b(10);
    one.Encrypt(plain.data(), a.data(), 10);
    two.Encrypt(plain.data(), b.data(), 5);
    two.Encrypt(plain.data() + 5, b.data() + 5, 5);
    EXPECT_EQ(Bytes(a.begin(), a.begin() + 5), Bytes(b.begin(), b.begin() + 5));
    EXPECT_NE(Bytes(a.begin() + 5, a.end()), Bytes(b.begin() + 5, b.end()));
    EXPECT_EQ(a, ReferenceRc4(key, plain));

    two.Reset();
    two.Decrypt(b.data(), b.data(), 5);
    two.Decrypt(b.data() + 5, b.data() + 5, 5);
    EXPECT_EQ(b, plain);
}

TEST(Rc4, StreamEncryptRestartsPerPiece)
{
    const Bytes plain = lwtest::RandomBytes(20000, 9);
    TDCP_rc4 rc4;
    rc4.SetKeyFromPhrase("a phrase", HashClass<TDCP_sha1>());
    TMemoryStream in, out;
    in.Write(plain);
    in.SetPosition(0);
    EXPECT_EQ(rc4.StreamEncrypt(in, out, plain.size()), 20000u);
    const Bytes cipher = out.Data();
    ASSERT_EQ(cipher.size(), 20000u);

    // The first piece is plain RC4 under the SHA-1 digest of the phrase.
    // hashlib.sha1(b'a phrase').hexdigest(), stored so the check also runs under Windows.
    const Bytes digest = lwtest::FromHex("24f266bd4db9d7ee30e69ad8810df3d0d76f47f3");
    const Bytes first(plain.begin(), plain.begin() + 8192);
    EXPECT_EQ(Bytes(cipher.begin(), cipher.begin() + 8192), ReferenceRc4(digest, first));

    // Pieces of 8192, 8192 and 3616 bytes, each a separate call.
    TDCP_rc4 pieces;
    pieces.SetKey(digest.data(), 160, nullptr);
    Bytes expected = plain;
    pieces.Encrypt(expected.data(), expected.data(), 8192);
    pieces.Encrypt(expected.data() + 8192, expected.data() + 8192, 8192);
    pieces.Encrypt(expected.data() + 16384, expected.data() + 16384, 3616);
    EXPECT_EQ(cipher, expected);
    const Bytes continuous = ReferenceRc4(digest, plain);
    EXPECT_NE(Bytes(cipher.begin() + 8192, cipher.end()), Bytes(continuous.begin() + 8192, continuous.end()));

    TDCP_rc4 back;
    back.SetKeyFromPhrase("a phrase", HashClass<TDCP_sha1>());
    TMemoryStream restored;
    out.SetPosition(0);
    back.StreamDecrypt(out, restored, cipher.size());
    EXPECT_EQ(restored.Data(), plain);
}

TEST(Rc4, KeySizesAndLifecycle)
{
    TDCP_rc4 rc4;
    for (uint8_t b : rc4.PermutationBytes())
        ASSERT_EQ(b, 0xFF);
    uint8_t byte = 0;
    EXPECT_THROW(rc4.Encrypt(&byte, &byte, 1), EDCP_cipher);
    rc4.Reset(); // no key needed
    EXPECT_THROW(rc4.Encrypt(&byte, &byte, 1), EDCP_cipher);

    const Bytes key(257, 0x5A);
    for (uint32_t bad : {0u, 2u, 4u, 162u, 2052u}) {
        rc4.SetKey(key.data(), 40, nullptr);
        ASSERT_TRUE(rc4.Initialized());
        try {
            rc4.SetKey(key.data(), bad, nullptr);
            ADD_FAILURE() << bad;
        } catch (const EDCP_cipher& e) {
            EXPECT_STREQ(e.what(), "Invalid key size") << bad;
        }
        EXPECT_FALSE(rc4.Initialized()) << bad;
        for (uint8_t b : rc4.InitialPermutationBytes())
            ASSERT_EQ(b, 0xFF);
    }
    rc4.SetKey(key.data(), 2048, nullptr);
    EXPECT_TRUE(rc4.Initialized());

    // A 2048-bit key uses each of its 256 bytes once; 160 bits repeat 20 bytes.
    const Bytes big = lwtest::RandomBytes(256, 11), data = lwtest::RandomBytes(64, 12);
    rc4.SetKey(big.data(), 2048, nullptr);
    Bytes out(64);
    rc4.Encrypt(data.data(), out.data(), 64);
    EXPECT_EQ(out, ReferenceRc4(big, data));
    rc4.SetKey(big.data(), 160, nullptr);
    rc4.Encrypt(data.data(), out.data(), 64);
    EXPECT_EQ(out, ReferenceRc4(Bytes(big.begin(), big.begin() + 20), data));

    rc4.Wipe();
    EXPECT_FALSE(rc4.Initialized());
    for (uint8_t b : rc4.PermutationBytes())
        ASSERT_EQ(b, 0xFF);
    EXPECT_THROW(rc4.Encrypt(&byte, &byte, 1), EDCP_cipher);
}
