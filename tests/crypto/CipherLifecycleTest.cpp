// Checks every cipher class alike: keying lifecycle, wiping, rekeying and the
// stream loop's piece boundaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>

#include "TestUtil.h"
#include "crypto/BlockCipher.h"
#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

struct CipherCase {
    const char* name;
    std::function<std::unique_ptr<TDCP_cipher>()> make;
    bool (*kat)();
    int32_t id;
    int32_t maxKeySize;
    int32_t blockSize; // -1 for the stream cipher
};

const CipherCase kCiphers[] = {
    {"RC4", [] { return std::make_unique<TDCP_rc4>(); }, &TDCP_rc4::ClassKnownAnswerTest, 19, 2048, -1},
    {"Blowfish", [] { return std::make_unique<TDCP_blowfish>(); }, &TDCP_blowfish::ClassKnownAnswerTest, 5, 448, 64},
    {"Serpent", [] { return std::make_unique<TDCP_serpent>(); }, &TDCP_serpent::ClassKnownAnswerTest, 26, 256, 128},
    {"Rijndael", [] { return std::make_unique<TDCP_rijndael>(); }, &TDCP_rijndael::ClassKnownAnswerTest, 9, 256, 128},
};

class AllCiphers : public ::testing::TestWithParam<CipherCase> {};

Bytes EncryptOnce(TDCP_cipher& c, const Bytes& plain)
{
    Bytes out(plain.size());
    c.Encrypt(plain.data(), out.data(), static_cast<uint32_t>(plain.size()));
    return out;
}

void ExpectNotInitialized(TDCP_cipher& c)
{
    uint8_t buf[16] = {};
    try {
        c.Encrypt(buf, buf, 16);
        ADD_FAILURE() << "Encrypt on an unkeyed cipher";
    } catch (const EDCP_cipher& e) {
        EXPECT_STREQ(e.what(), "Cipher not initialized");
    }
}

} // namespace

TEST_P(AllCiphers, KeyingLifecycle)
{
    auto c = GetParam().make();
    ExpectNotInitialized(*c);
    c->SetKeyFromPhrase("correct horse", HashClass<TDCP_sha1>());
    const Bytes plain = lwtest::RandomBytes(100, 1);
    const Bytes first = EncryptOnce(*c, plain);
    EXPECT_NE(first, plain);

    // Rekeying (which wipes first) reproduces the output; so does Reset.
    c->SetKeyFromPhrase("correct horse", HashClass<TDCP_sha1>());
    EXPECT_EQ(EncryptOnce(*c, plain), first);
    c->Reset();
    EXPECT_EQ(EncryptOnce(*c, plain), first);

    // One letter in another case is another key.
    c->SetKeyFromPhrase("Correct horse", HashClass<TDCP_sha1>());
    EXPECT_NE(EncryptOnce(*c, plain), first);

    // A failed SetKey leaves no key behind.
    const Bytes key(64, 1);
    EXPECT_THROW(c->SetKey(key.data(), 162, nullptr), EDCP_cipher);
    EXPECT_FALSE(c->Initialized());
    ExpectNotInitialized(*c);

    c->SetKeyFromPhrase("", HashClass<TDCP_sha1>());
    EXPECT_TRUE(c->Initialized());
    c->Wipe();
    EXPECT_FALSE(c->Initialized());
    ExpectNotInitialized(*c);
}

TEST_P(AllCiphers, InPlaceEqualsOutOfPlaceAndDecryptInverts)
{
    for (size_t n : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 33u, 1000u}) {
        auto c = GetParam().make();
        c->SetKeyFromPhrase("phrase", HashClass<TDCP_sha1>());
        const Bytes plain = lwtest::RandomBytes(n, static_cast<uint32_t>(n));
        const Bytes out = EncryptOnce(*c, plain);
        c->Reset();
        Bytes inPlace = plain;
        c->Encrypt(inPlace.data(), inPlace.data(), static_cast<uint32_t>(n));
        EXPECT_EQ(inPlace, out) << n;
        c->Reset();
        c->Decrypt(inPlace.data(), inPlace.data(), static_cast<uint32_t>(n));
        EXPECT_EQ(inPlace, plain) << n;
    }
}

// Block ciphers join 8192-byte pieces seamlessly; RC4 restarts its indices per piece.
TEST_P(AllCiphers, StreamPiecesAgainstOneCall)
{
    for (size_t n : {8191u, 8192u, 8193u}) {
        auto c = GetParam().make();
        c->SetKeyFromPhrase("pieces", HashClass<TDCP_sha1>());
        const Bytes plain = lwtest::RandomBytes(n, 99);
        TMemoryStream in, out;
        in.Write(plain);
        in.SetPosition(0);
        EXPECT_EQ(c->StreamEncrypt(in, out, n), n);
        c->Reset();
        const Bytes once = EncryptOnce(*c, plain);
        if (GetParam().blockSize > 0 || n <= 8192)
            EXPECT_EQ(out.Data(), once) << n;
        else
            EXPECT_NE(out.Data(), once) << n;
    }
}

// Destruction leaves the key material in its wipe pattern without any virtual Wipe:
// checked on the raw storage of the IV and chaining value (block ciphers) or of the
// permutations (RC4).
TEST_P(AllCiphers, DestructionScrubsTheKeyState)
{
    alignas(std::max_align_t) static unsigned char storage[8192];
    static_assert(sizeof(TDCP_blowfish) <= sizeof(storage) && sizeof(TDCP_serpent) <= sizeof(storage) &&
                  sizeof(TDCP_rijndael) <= sizeof(storage) && sizeof(TDCP_rc4) <= sizeof(storage));
    const std::string name = GetParam().name;
    TDCP_cipher* c = nullptr;
    if (name == "RC4")
        c = new (storage) TDCP_rc4;
    else if (name == "Blowfish")
        c = new (storage) TDCP_blowfish;
    else if (name == "Serpent")
        c = new (storage) TDCP_serpent;
    else
        c = new (storage) TDCP_rijndael;
    c->SetKeyFromPhrase("scrub", HashClass<TDCP_sha1>());
    std::vector<std::span<const uint8_t>> regions;
    if (auto* rc4 = dynamic_cast<TDCP_rc4*>(c)) {
        regions = {rc4->PermutationBytes(), rc4->InitialPermutationBytes()};
    } else if (auto* b64 = dynamic_cast<TDCP_blockcipher64*>(c)) {
        regions = {b64->InitVectorBytes(), b64->ChainValueBytes()};
    } else {
        auto* b128 = dynamic_cast<TDCP_blockcipher128*>(c);
        regions = {b128->InitVectorBytes(), b128->ChainValueBytes()};
    }
    std::vector<std::pair<ptrdiff_t, size_t>> offsets;
    for (auto r : regions) {
        EXPECT_NE(std::count(r.begin(), r.end(), 0xFF), static_cast<ptrdiff_t>(r.size())); // keyed
        offsets.emplace_back(r.data() - storage, r.size());
    }
    c->~TDCP_cipher();
    for (auto [offset, size] : offsets)
        for (size_t i = 0; i < size; ++i)
            ASSERT_EQ(storage[offset + static_cast<ptrdiff_t>(i)], 0xFF) << name << " byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Ciphers, AllCiphers, ::testing::ValuesIn(kCiphers),
                         [](const auto& instance) { return std::string(instance.param.name); });
