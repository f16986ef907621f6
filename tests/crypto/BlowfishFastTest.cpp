// The CBC loops of Blowfish against a plain block-by-block CBC built on EncryptBlock and
// DecryptBlock (themselves checked against published vectors elsewhere).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/Sha1.h"

using namespace lw;
using lwtest::Bytes;
using lwtest::RandomBytes;

namespace {

// One call of straightforward CBC with the tail rule, on the chaining value cv.
void ReferenceCbc(TDCP_blowfish& c, Bytes& cv, const Bytes& in, Bytes& out, bool encrypt)
{
    out.assign(in.size(), 0);
    size_t k = 0;
    for (; k + 8 <= in.size(); k += 8) {
        uint8_t block[8];
        if (encrypt) {
            for (int b = 0; b < 8; ++b)
                block[b] = in[k + b] ^ cv[b];
            c.EncryptBlock(block, block);
            std::copy(block, block + 8, out.begin() + k);
            std::copy(block, block + 8, cv.begin());
        } else {
            c.DecryptBlock(in.data() + k, block);
            for (int b = 0; b < 8; ++b)
                out[k + b] = block[b] ^ cv[b];
            std::copy(in.begin() + k, in.begin() + k + 8, cv.begin());
        }
    }
    if (k < in.size()) {
        c.EncryptBlock(cv.data(), cv.data());
        for (size_t b = 0; k + b < in.size(); ++b)
            out[k + b] = in[k + b] ^ cv[b];
    }
}

// Lengths 0..3*8192+17: every one up to 300, around each multiple of 32 and of the
// piece size, and a stride through the rest.
std::vector<size_t> Lengths()
{
    std::vector<size_t> n;
    constexpr size_t kMax = 3 * 8192 + 17;
    for (size_t len = 0; len <= kMax; ++len) {
        const size_t m = len % 8192;
        if (len <= 300 || len % 97 == 0 || m <= 17 || m >= 8192 - 17 || (len % 32 <= 1 && len % 389 < 32) ||
            len == kMax)
            n.push_back(len);
    }
    return n;
}

void KeyRandomly(TDCP_blowfish& c, std::mt19937& rng)
{
    const Bytes key = RandomBytes(1 + rng() % 56, rng());
    const Bytes iv = RandomBytes(8, rng());
    c.SetKey(key.data(), static_cast<uint32_t>(key.size() * 8), rng() % 2 ? iv.data() : nullptr);
}

Bytes ChainValue(TDCP_blowfish& c)
{
    Bytes cv(8);
    c.GetChainValue(cv.data());
    return cv;
}

} // namespace

TEST(BlowfishFast, CbcMatchesBlockByBlockOverManyLengths)
{
    std::mt19937 rng(61);
    TDCP_blowfish c;
    const Bytes data = RandomBytes(3 * 8192 + 17, 62);
    for (size_t len : Lengths()) {
        SCOPED_TRACE("length " + std::to_string(len));
        if (len % 64 == 0 || len < 40)
            KeyRandomly(c, rng);
        const Bytes in(data.begin(), data.begin() + static_cast<ptrdiff_t>(len));
        for (bool encrypt : {true, false}) {
            c.Reset();
            Bytes cv = ChainValue(c), want;
            ReferenceCbc(c, cv, in, want, encrypt);

            c.Reset();
            Bytes out(len, 0xA5);
            if (encrypt)
                c.EncryptCBC(in.data(), out.data(), static_cast<uint32_t>(len));
            else
                c.DecryptCBC(in.data(), out.data(), static_cast<uint32_t>(len));
            ASSERT_EQ(out, want) << (encrypt ? "encrypt" : "decrypt");
            EXPECT_EQ(ChainValue(c), cv);

            // In place, through the mode dispatch.
            c.Reset();
            Bytes buf = in;
            if (encrypt)
                c.Encrypt(buf.data(), buf.data(), static_cast<uint32_t>(len));
            else
                c.Decrypt(buf.data(), buf.data(), static_cast<uint32_t>(len));
            ASSERT_EQ(buf, want) << (encrypt ? "encrypt in place" : "decrypt in place");
            EXPECT_EQ(ChainValue(c), cv);
        }
    }
}

// A stream cut into calls of random lengths (whole blocks or not) keeps the chain.
TEST(BlowfishFast, SplitCallsMatchReference)
{
    std::mt19937 rng(63);
    TDCP_blowfish c;
    for (int round = 0; round < 40; ++round) {
        KeyRandomly(c, rng);
        for (bool encrypt : {true, false}) {
            c.Reset();
            Bytes cv = ChainValue(c);
            size_t total = 0;
            for (int call = 0; call < 12; ++call) {
                const size_t len = rng() % 3 == 0 ? rng() % 300 : 8 * (rng() % 1100);
                const Bytes in = RandomBytes(len, rng());
                Bytes want, out(len);
                ReferenceCbc(c, cv, in, want, encrypt);
                if (encrypt)
                    c.EncryptCBC(in.data(), out.data(), static_cast<uint32_t>(len));
                else
                    c.DecryptCBC(in.data(), out.data(), static_cast<uint32_t>(len));
                ASSERT_EQ(out, want) << "round " << round << " call " << call << " at " << total;
                ASSERT_EQ(ChainValue(c), cv);
                total += len;
            }
        }
    }
}

// What the product runs: phrase keys, 8192-byte pieces in place, and the way back.
TEST(BlowfishFast, PhraseKeyedPiecesRoundTrip)
{
    for (const char* phrase : {"", "benchmark phrase", "a longer pass phrase with some words"}) {
        TDCP_blowfish c;
        c.SetKeyFromPhrase(phrase, HashClass<TDCP_sha1>());
        const Bytes plain = RandomBytes(5 * 8192 + 3, 64);
        Bytes buf = plain, want;
        Bytes cv = ChainValue(c);
        for (size_t off = 0; off < buf.size(); off += 8192) {
            const size_t n = std::min<size_t>(8192, buf.size() - off);
            const Bytes in(buf.begin() + static_cast<ptrdiff_t>(off), buf.begin() + static_cast<ptrdiff_t>(off + n));
            Bytes piece;
            ReferenceCbc(c, cv, in, piece, true);
            want.insert(want.end(), piece.begin(), piece.end());
            c.Encrypt(buf.data() + off, buf.data() + off, static_cast<uint32_t>(n));
        }
        ASSERT_EQ(buf, want) << phrase;
        c.Reset();
        for (size_t off = 0; off < buf.size(); off += 8192)
            c.Decrypt(buf.data() + off, buf.data() + off,
                      static_cast<uint32_t>(std::min<size_t>(8192, buf.size() - off)));
        EXPECT_EQ(buf, plain) << phrase;
    }
}
