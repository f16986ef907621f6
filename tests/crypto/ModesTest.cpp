// The chaining modes and the stream loop, checked with a toy block cipher against
// references written from the whole-message rules.
#include <gtest/gtest.h>

#include <cstring>

#include "TestUtil.h"
#include "crypto/BlockCipher.h"
#include "crypto/Sha1.h"
#include "platform/Exception.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

// An invertible keyed byte shuffle: enough to tell blocks, keys and directions apart.
template <size_t B, class Base>
class TToyCipher : public Base {
public:
    static int32_t ClassMaxKeySize() { return 256; }
    int32_t MaxKeySize() const override { return ClassMaxKeySize(); }

    void EncryptBlock(const void* inp, void* outp) override
    {
        this->RequireKeyed();
        uint8_t in[B];
        std::memcpy(in, inp, B);
        auto out = static_cast<uint8_t*>(outp);
        for (size_t i = 0; i < B; ++i)
            out[i] = static_cast<uint8_t>((in[(i + 1) % B] + m_key[i]) ^ 0x5A);
    }
    void DecryptBlock(const void* inp, void* outp) override
    {
        this->RequireKeyed();
        uint8_t in[B];
        std::memcpy(in, inp, B);
        auto out = static_cast<uint8_t*>(outp);
        for (size_t i = 0; i < B; ++i)
            out[(i + 1) % B] = static_cast<uint8_t>((in[i] ^ 0x5A) - m_key[i]);
    }
    Bytes E(const Bytes& block)
    {
        Bytes out(B);
        EncryptBlock(block.data(), out.data());
        return out;
    }

protected:
    void ScheduleKey(const void* key, uint32_t sizeInBits) override
    {
        const auto* k = static_cast<const uint8_t*>(key);
        const uint32_t n = sizeInBits / 8;
        for (size_t i = 0; i < B; ++i)
            m_key[i] = static_cast<uint8_t>(k[i % n] + i);
    }

private:
    uint8_t m_key[B] = {};
};

using Toy64 = TToyCipher<8, TDCP_blockcipher64>;
using Toy128 = TToyCipher<16, TDCP_blockcipher128>;

Bytes Xor(const Bytes& a, const Bytes& b, size_t n)
{
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = a[i] ^ b[i];
    return out;
}

// Reference encryption of a whole message given in one call.
template <class C>
Bytes Reference(C& c, TDCP_ciphermode mode, const Bytes& iv, const Bytes& msg)
{
    constexpr size_t B = sizeof(typename C::Block);
    Bytes cv = iv, out;
    size_t i = 0;
    if (mode == cmCFB8bit) {
        for (uint8_t x : msg) {
            const uint8_t y = x ^ c.E(cv)[0];
            out.push_back(y);
            cv.erase(cv.begin());
            cv.push_back(y);
        }
        return out;
    }
    for (; i + B <= msg.size(); i += B) {
        const Bytes x(msg.begin() + i, msg.begin() + i + B);
        Bytes y;
        switch (mode) {
        case cmCBC:
            y = c.E(Xor(x, cv, B));
            cv = y;
            break;
        case cmCFBblock:
            y = Xor(x, c.E(cv), B);
            cv = y;
            break;
        case cmOFB:
            cv = c.E(cv);
            y = Xor(x, cv, B);
            break;
        case cmCTR: {
            y = Xor(x, c.E(cv), B);
            for (size_t k = B; k-- > 0;)
                if (++cv[k] != 0)
                    break;
            break;
        }
        default: break;
        }
        out.insert(out.end(), y.begin(), y.end());
    }
    if (i < msg.size()) {
        const Bytes tail(msg.begin() + i, msg.end());
        const Bytes y = Xor(tail, c.E(cv), tail.size());
        out.insert(out.end(), y.begin(), y.end());
    }
    return out;
}

const TDCP_ciphermode kModes[] = {cmCBC, cmCFB8bit, cmCFBblock, cmOFB, cmCTR};

template <class C>
void KeyToy(C& c, const Bytes& key = lwtest::FromHex("0123456789abcdef0011223344556677"))
{
    c.SetKey(key.data(), 128, nullptr);
}

} // namespace

template <class C>
class Modes : public ::testing::Test {};
struct Toy64Case : Toy64 {
    using Block = uint8_t[8];
};
struct Toy128Case : Toy128 {
    using Block = uint8_t[16];
};
using ToyTypes = ::testing::Types<Toy64Case, Toy128Case>;
TYPED_TEST_SUITE(Modes, ToyTypes);

TYPED_TEST(Modes, WholeMessagesMatchTheReferenceInPlaceAndOutOfPlace)
{
    constexpr size_t B = sizeof(typename TypeParam::Block);
    for (TDCP_ciphermode mode : kModes)
        for (size_t n = 0; n <= 3 * B + 1; ++n) {
            TypeParam c;
            KeyToy(c);
            c.SetCipherMode(mode);
            Bytes iv(B);
            c.GetChainValue(iv.data());
            const Bytes msg = lwtest::RandomBytes(n, static_cast<uint32_t>(n + 100 * mode));
            const Bytes expected = Reference(c, mode, iv, msg);

            Bytes out(n, 0xEE);
            c.Encrypt(msg.data(), out.data(), static_cast<uint32_t>(n));
            ASSERT_EQ(out, expected) << "mode " << int(mode) << " n " << n;

            c.Reset();
            Bytes inPlace = msg;
            c.Encrypt(inPlace.data(), inPlace.data(), static_cast<uint32_t>(n));
            ASSERT_EQ(inPlace, expected);

            c.Reset();
            Bytes back(n);
            c.Decrypt(out.data(), back.data(), static_cast<uint32_t>(n));
            ASSERT_EQ(back, msg) << "mode " << int(mode) << " n " << n;
            c.Reset();
            c.Decrypt(inPlace.data(), inPlace.data(), static_cast<uint32_t>(n));
            ASSERT_EQ(inPlace, msg);
        }
}

TYPED_TEST(Modes, IvIsTheEncryptedZeroBlockAndSetInitVectorRestarts)
{
    constexpr size_t B = sizeof(typename TypeParam::Block);
    TypeParam c;
    KeyToy(c);
    Bytes cv(B);
    c.GetChainValue(cv.data());
    EXPECT_EQ(cv, c.E(Bytes(B, 0)));
    EXPECT_EQ(Bytes(c.InitVectorBytes().begin(), c.InitVectorBytes().end()), cv);

    const Bytes iv = lwtest::RandomBytes(B, 5);
    c.SetInitVector(iv.data());
    c.GetChainValue(cv.data());
    EXPECT_EQ(cv, iv);

    Bytes given = lwtest::RandomBytes(B, 6);
    const Bytes key = lwtest::FromHex("00112233445566778899aabbccddeeff");
    c.SetKey(key.data(), 128, given.data());
    c.GetChainValue(cv.data());
    EXPECT_EQ(cv, given);
}

TYPED_TEST(Modes, CbcTailRules)
{
    constexpr size_t B = sizeof(typename TypeParam::Block);
    TypeParam c;
    KeyToy(c);
    Bytes iv(B);
    c.GetChainValue(iv.data());

    // Shorter than a block: XOR with E(IV), and CV becomes E(IV).
    const Bytes shortMsg = lwtest::RandomBytes(B - 3, 1);
    Bytes out(shortMsg.size());
    c.Encrypt(shortMsg.data(), out.data(), static_cast<uint32_t>(out.size()));
    EXPECT_EQ(out, Xor(shortMsg, c.E(iv), shortMsg.size()));
    Bytes cv(B);
    c.GetChainValue(cv.data());
    EXPECT_EQ(cv, c.E(iv));

    // B+1 bytes: one block and a one-byte tail XORed with E(Y1).
    c.Reset();
    const Bytes msg = lwtest::RandomBytes(B + 1, 2);
    out.assign(B + 1, 0);
    c.Encrypt(msg.data(), out.data(), B + 1);
    const Bytes y1 = c.E(Xor(Bytes(msg.begin(), msg.begin() + B), iv, B));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + B), y1);
    EXPECT_EQ(out[B], msg[B] ^ c.E(y1)[0]);

    // Cutting a message at a place that is not a block boundary changes the result.
    c.Reset();
    const Bytes two = lwtest::RandomBytes(2 * B, 3);
    Bytes once(2 * B), split(2 * B);
    c.Encrypt(two.data(), once.data(), 2 * B);
    c.Reset();
    c.Encrypt(two.data(), split.data(), 5);
    c.Encrypt(two.data() + 5, split.data() + 5, 2 * B - 5);
    EXPECT_NE(once, split);
}

TYPED_TEST(Modes, CountZeroAndUnknownModeTouchNothing)
{
    constexpr size_t B = sizeof(typename TypeParam::Block);
    TypeParam c;
    KeyToy(c);
    Bytes before(B), after(B);
    c.GetChainValue(before.data());
    uint8_t byte = 0x33;
    for (TDCP_ciphermode mode : kModes) {
        c.SetCipherMode(mode);
        c.Encrypt(&byte, &byte, 0);
        c.Decrypt(&byte, &byte, 0);
    }
    c.GetChainValue(after.data());
    EXPECT_EQ(before, after);
    EXPECT_EQ(byte, 0x33);

    c.SetCipherMode(static_cast<TDCP_ciphermode>(5));
    Bytes data(3 * B, 0x11);
    c.Encrypt(data.data(), data.data(), static_cast<uint32_t>(data.size()));
    c.Decrypt(data.data(), data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_EQ(data, Bytes(3 * B, 0x11));
}

TYPED_TEST(Modes, FreshAndWipedChainHoldTheWipePattern)
{
    TypeParam c;
    EXPECT_EQ(c.CipherMode(), cmCBC);
    for (uint8_t b : c.InitVectorBytes())
        ASSERT_EQ(b, 0xFF);
    for (uint8_t b : c.ChainValueBytes())
        ASSERT_EQ(b, 0xFF);
    for (int round = 0; round < 2; ++round) {
        KeyToy(c);
        c.Wipe();
        EXPECT_FALSE(c.Initialized());
        for (uint8_t b : c.InitVectorBytes())
            ASSERT_EQ(b, 0xFF);
        for (uint8_t b : c.ChainValueBytes())
            ASSERT_EQ(b, 0xFF);
    }
}

TYPED_TEST(Modes, IncrementCounterCarriesTowardsTheFirstByte)
{
    constexpr size_t B = sizeof(typename TypeParam::Block);
    TypeParam c;
    KeyToy(c);
    Bytes v(B, 0);
    v[B - 2] = 0x00;
    v[B - 1] = 0xFF;
    c.SetInitVector(v.data());
    c.IncrementCounter();
    Bytes cv(B);
    c.GetChainValue(cv.data());
    EXPECT_EQ(cv[B - 2], 0x01);
    EXPECT_EQ(cv[B - 1], 0x00);

    const Bytes ones(B, 0xFF);
    c.SetInitVector(ones.data());
    c.IncrementCounter();
    c.GetChainValue(cv.data());
    EXPECT_EQ(cv, Bytes(B, 0));
}

TYPED_TEST(Modes, KeySizeChecksLeaveTheCipherUnkeyed)
{
    TypeParam c;
    const Bytes key(40, 7);
    for (uint32_t bad : {0u, 2u, 162u, 260u}) {
        KeyToy(c);
        try {
            c.SetKey(key.data(), bad, nullptr);
            ADD_FAILURE() << bad;
        } catch (const EDCP_cipher& e) {
            EXPECT_STREQ(e.what(), "Invalid key size");
        }
        EXPECT_FALSE(c.Initialized());
        uint8_t b = 0;
        EXPECT_THROW(c.Encrypt(&b, &b, 1), EDCP_blockcipher);
    }
    c.SetKey(key.data(), 160, nullptr);
    EXPECT_TRUE(c.Initialized());
}

TYPED_TEST(Modes, TextOperationsUseCfb8AndBase64)
{
    LWTEST_NEEDS_REFERENCE();
    TypeParam c;
    KeyToy(c);
    c.SetCipherMode(cmOFB);
    const std::string text = "Attack at dawn, twice!";
    const std::string encoded = c.EncryptText(text);
    EXPECT_EQ(encoded.size(), (text.size() + 2) / 3 * 4);
    c.Reset();
    Bytes raw(text.begin(), text.end());
    c.EncryptCFB8bit(raw.data(), raw.data(), static_cast<uint32_t>(raw.size()));
    const Bytes b64 = lwtest::RunPython(
        "import base64,sys;sys.stdout.write(base64.b64encode(sys.stdin.buffer.read()).decode())", raw);
    EXPECT_EQ(encoded, std::string(b64.begin(), b64.end()));
    c.Reset();
    EXPECT_EQ(c.DecryptText(encoded), text);
    EXPECT_EQ(c.CipherMode(), cmOFB);
}

TEST(Base64, DecodingRules)
{
    // The root cipher's text operations do nothing to the bytes, so they show the coding alone.
    TDCP_cipher plain;
    EXPECT_EQ(plain.EncryptText(""), "");
    EXPECT_EQ(plain.EncryptText("f"), "Zg==");
    EXPECT_EQ(plain.EncryptText("fo"), "Zm8=");
    EXPECT_EQ(plain.EncryptText("foobar"), "Zm9vYmFy");
    EXPECT_EQ(plain.DecryptText("Zg=="), "f");
    EXPECT_EQ(plain.DecryptText("Zm8="), "fo");
    EXPECT_EQ(plain.DecryptText("Zm9vYmFy"), "foobar");
    EXPECT_EQ(plain.DecryptText("Zm9"), "");       // no whole group
    EXPECT_EQ(plain.DecryptText("Zm9vYm"), "foo"); // partial group ignored
    EXPECT_EQ(plain.DecryptText("Zm=v"), "f");     // "=" third: one byte
}

namespace {

// Counts reads and can refuse writes, to watch the stream loop.
class TWatchStream final : public TMemoryStream {
public:
    std::vector<int64_t> reads;
    int64_t writeLimit = -1;
    int64_t Read(std::span<uint8_t> buffer) override
    {
        reads.push_back(static_cast<int64_t>(buffer.size()));
        return TMemoryStream::Read(buffer);
    }
    int64_t Write(std::span<const uint8_t> buffer) override
    {
        if (writeLimit >= 0 && static_cast<int64_t>(buffer.size()) > writeLimit)
            return TMemoryStream::Write(buffer.first(static_cast<size_t>(writeLimit)));
        return TMemoryStream::Write(buffer);
    }
};

} // namespace

TEST(StreamEncrypt, PiecesOf8192AndShortSources)
{
    Toy128 c;
    KeyToy(c);
    struct Case {
        uint64_t count;
        size_t available;
        std::vector<int64_t> reads;
        uint64_t total;
    };
    const Case cases[] = {
        {0, 100, {}, 0},
        {8192, 9000, {8192}, 8192},
        {8193, 9000, {8192, 1}, 8193},
        {20000, 20000, {8192, 8192, 3616}, 20000},
        {20000, 9000, {8192, 8192, 3616}, 9000}, // later reads deliver less, then nothing
    };
    for (const auto& k : cases) {
        TWatchStream in;
        TMemoryStream out;
        in.Write(lwtest::RandomBytes(k.available, 4));
        in.SetPosition(0);
        c.Reset();
        EXPECT_EQ(c.StreamEncrypt(in, out, k.count), k.total);
        EXPECT_EQ(in.reads, k.reads);
        EXPECT_EQ(out.Size(), static_cast<int64_t>(k.total));
    }
}

TEST(StreamEncrypt, EqualsOneCallOverWholeBlocksAndRoundTrips)
{
    for (size_t n : {8191u, 8192u, 8193u, 3u * 8192u + 100u}) {
        Toy64 c;
        KeyToy(c);
        const Bytes plain = lwtest::RandomBytes(n, static_cast<uint32_t>(n));
        TMemoryStream in, out, back;
        in.Write(plain);
        in.SetPosition(0);
        c.StreamEncrypt(in, out, n);
        c.Reset();
        Bytes one = plain;
        c.Encrypt(one.data(), one.data(), static_cast<uint32_t>(n));
        EXPECT_EQ(out.Data(), one) << n;
        c.Reset();
        out.SetPosition(0);
        c.StreamDecrypt(out, back, n);
        EXPECT_EQ(back.Data(), plain) << n;
    }
}

TEST(StreamEncrypt, ShortWriteRaisesStreamWriteError)
{
    Toy64 c;
    KeyToy(c);
    TMemoryStream in;
    in.Write(lwtest::RandomBytes(10000, 1));
    in.SetPosition(0);
    TWatchStream out;
    out.writeLimit = 100;
    try {
        c.StreamEncrypt(in, out, 10000);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
}

namespace {

class TFailingHash final : public TDCP_hash {
public:
    static int32_t ClassHashSize() { return 160; }
    int32_t HashSize() const override { return 160; }
    void Init() override { throw EDCP_hash("Hash not initialized"); }
};

} // namespace

TEST(SetKeyFromPhrase, KeysWithTheDigestAndReportsEveryFailureAlike)
{
    Toy128 a, b;
    a.SetKeyFromPhrase("", HashClass<TDCP_sha1>());
    const Bytes emptyDigest = lwtest::FromHex("da39a3ee5e6b4b0d3255bfef95601890afd80709");
    b.SetKey(emptyDigest.data(), 160, nullptr);
    Bytes cva(16), cvb(16);
    a.GetChainValue(cva.data());
    b.GetChainValue(cvb.data());
    EXPECT_EQ(cva, cvb);

    // A cipher whose largest key is smaller than the digest takes only that many bits.
    struct Small final : TDCP_blockcipher64 {
        int32_t MaxKeySize() const override { return 64; }
        uint32_t seen = 0;
        void ScheduleKey(const void*, uint32_t size) override { seen = size; }
    } small;
    small.SetKeyFromPhrase("x", HashClass<TDCP_sha1>());
    EXPECT_EQ(small.seen, 64u);

    struct Refuses final : TDCP_blockcipher64 {
        int32_t MaxKeySize() const override { return 2; }
    } refuses;
    for (int which = 0; which < 2; ++which) {
        try {
            if (which == 0)
                a.SetKeyFromPhrase("x", HashClass<TFailingHash>());
            else
                refuses.SetKeyFromPhrase("x", HashClass<TDCP_sha1>()); // "Invalid key size" inside
            ADD_FAILURE();
        } catch (const EDCP_cipher& e) {
            EXPECT_STREQ(e.what(), "Unable to allocate sufficient memory for hash digest");
        }
    }
    EXPECT_FALSE(a.Initialized());
    EXPECT_FALSE(refuses.Initialized());
}
