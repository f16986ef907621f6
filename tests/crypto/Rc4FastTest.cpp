// The RC4 generator against a byte-at-a-time reference with the same call rule: i and j
// restart at zero on every call while the permutation carries on.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "TestUtil.h"
#include "crypto/Rc4.h"
#include "crypto/Sha1.h"

using namespace lw;
using lwtest::Bytes;
using lwtest::RandomBytes;

namespace {

struct ReferenceRc4 {
    std::array<uint8_t, 256> s{};

    explicit ReferenceRc4(const Bytes& key)
    {
        for (int i = 0; i < 256; ++i)
            s[i] = static_cast<uint8_t>(i);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + key[i % key.size()]) & 255;
            std::swap(s[i], s[j]);
        }
    }

    Bytes Call(const Bytes& in)
    {
        Bytes out(in.size());
        for (size_t k = 0, i = 0, j = 0; k < in.size(); ++k) {
            i = (i + 1) & 255;
            j = (j + s[i]) & 255;
            std::swap(s[i], s[j]);
            out[k] = in[k] ^ s[(s[i] + s[j]) & 255];
        }
        return out;
    }
};

std::vector<size_t> Lengths()
{
    std::vector<size_t> n;
    constexpr size_t kMax = 3 * 8192 + 17;
    for (size_t len = 0; len <= kMax; ++len) {
        const size_t m = len % 8192;
        if (len <= 600 || len % 89 == 0 || m <= 17 || m >= 8192 - 17 || len == kMax)
            n.push_back(len);
    }
    return n;
}

Bytes Permutation(const TDCP_rc4& c)
{
    const auto p = c.PermutationBytes();
    return Bytes(p.begin(), p.end());
}

Bytes RefPermutation(const ReferenceRc4& r)
{
    return Bytes(r.s.begin(), r.s.end());
}

} // namespace

// Each length twice in a row (the second call on the carried permutation), out of place
// and in place.
TEST(Rc4Fast, MatchesReferenceOverManyLengths)
{
    std::mt19937 rng(71);
    const Bytes data = RandomBytes(3 * 8192 + 17, 72);
    TDCP_rc4 c;
    for (size_t len : Lengths()) {
        SCOPED_TRACE("length " + std::to_string(len));
        const Bytes key = RandomBytes(1 + rng() % 256, rng());
        c.SetKey(key.data(), static_cast<uint32_t>(key.size() * 8), nullptr);
        ReferenceRc4 ref(key);
        const Bytes in(data.begin(), data.begin() + static_cast<ptrdiff_t>(len));

        Bytes out(len, 0x5A);
        c.Encrypt(in.data(), out.data(), static_cast<uint32_t>(len));
        ASSERT_EQ(out, ref.Call(in));
        ASSERT_EQ(Permutation(c), RefPermutation(ref));

        Bytes buf = in;
        c.Decrypt(buf.data(), buf.data(), static_cast<uint32_t>(len));
        ASSERT_EQ(buf, ref.Call(in));
        ASSERT_EQ(Permutation(c), RefPermutation(ref));
    }
}

// Calls of random lengths, short and long mixed, each restarting the indices.
TEST(Rc4Fast, SplitCallsMatchReference)
{
    std::mt19937 rng(73);
    for (int round = 0; round < 30; ++round) {
        const Bytes key = RandomBytes(1 + rng() % 40, rng());
        TDCP_rc4 c;
        c.SetKey(key.data(), static_cast<uint32_t>(key.size() * 8), nullptr);
        ReferenceRc4 ref(key);
        for (int call = 0; call < 20; ++call) {
            const size_t len = rng() % 2 ? rng() % 130 : rng() % 20000;
            const Bytes in = RandomBytes(len, rng());
            Bytes out(len);
            c.Encrypt(in.data(), out.data(), static_cast<uint32_t>(len));
            ASSERT_EQ(out, ref.Call(in)) << "round " << round << " call " << call;
        }
        EXPECT_EQ(Permutation(c), RefPermutation(ref));
        // Reset goes back to the keyed permutation after fast calls too.
        c.Reset();
        const Bytes in = RandomBytes(9000, 74);
        Bytes out(in.size());
        c.Encrypt(in.data(), out.data(), static_cast<uint32_t>(in.size()));
        EXPECT_EQ(out, ReferenceRc4(key).Call(in));
    }
}

// Phrase keys and 8192-byte pieces, as files are written.
TEST(Rc4Fast, PhraseKeyedPieces)
{
    TDCP_rc4 c;
    c.SetKeyFromPhrase("benchmark phrase", HashClass<TDCP_sha1>());
    TDCP_sha1 sha;
    sha.Init();
    const std::string phrase = "benchmark phrase";
    sha.Update({reinterpret_cast<const uint8_t*>(phrase.data()), phrase.size()});
    Bytes key(20);
    sha.Final(key);
    ReferenceRc4 ref(key);
    const Bytes plain = RandomBytes(4 * 8192 + 100, 75);
    Bytes buf = plain, want;
    for (size_t off = 0; off < buf.size(); off += 8192) {
        const size_t n = std::min<size_t>(8192, buf.size() - off);
        const Bytes piece = ref.Call(
            Bytes(plain.begin() + static_cast<ptrdiff_t>(off), plain.begin() + static_cast<ptrdiff_t>(off + n)));
        want.insert(want.end(), piece.begin(), piece.end());
        c.Encrypt(buf.data() + off, buf.data() + off, static_cast<uint32_t>(n));
    }
    EXPECT_EQ(buf, want);
}
