#include "crypto/SerpentSimd.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "crypto/CpuFeatures.h"
#include "crypto/SecureFill.h"
#include "crypto/SerpentCircuits.h"
#include "platform/LoadStore.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LW_SERPENT_VECTORS 1
#endif

namespace lw {
namespace {

using serpent::TWords;

// Block bytes are little-endian words; loads and stores go through memcpy so any
// alignment is fine.
template <class V>
[[gnu::always_inline]] inline void Load(V& v, const uint8_t* p)
{
    std::memcpy(&v, p, sizeof(V));
}

template <class V>
[[gnu::always_inline]] inline void Store(uint8_t* p, const V& v)
{
    std::memcpy(p, &v, sizeof(V));
}

// CBC encryption is one chain: the chaining value stays in the words between blocks.
void EncryptChain(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    TWords<uint32_t> x;
    for (int j = 0; j < 4; ++j)
        x[j] = LoadLE32(cv + 4 * j);
    for (; blocks > 0; --blocks, in += 16, out += 16) {
        for (int j = 0; j < 4; ++j)
            x[j] ^= LoadLE32(in + 4 * j);
        serpent::EncryptWords(x, keys);
        for (int j = 0; j < 4; ++j)
            StoreLE32(out + 4 * j, x[j]);
    }
    for (int j = 0; j < 4; ++j)
        StoreLE32(cv + 4 * j, x[j]);
}

void DecryptOneByOne(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    for (; blocks > 0; --blocks, in += 16, out += 16) {
        TWords<uint32_t> x;
        TWords<uint32_t> c;
        for (int j = 0; j < 4; ++j)
            c[j] = x[j] = LoadLE32(in + 4 * j);
        serpent::DecryptWords(x, keys);
        for (int j = 0; j < 4; ++j) {
            StoreLE32(out + 4 * j, x[j] ^ LoadLE32(cv + 4 * j));
            StoreLE32(cv + 4 * j, c[j]);
        }
    }
}

#ifdef LW_SERPENT_VECTORS

using TVec4 = uint32_t __attribute__((vector_size(16)));
using TVec8 = uint32_t __attribute__((vector_size(32)));
using TVec16 = uint32_t __attribute__((vector_size(64)));

// Lane indices for __builtin_shuffle, one type per register width.
template <class V>
struct TMaskOf;
template <>
struct TMaskOf<TVec4> {
    using T = int32_t __attribute__((vector_size(16)));
};
template <>
struct TMaskOf<TVec8> {
    using T = int32_t __attribute__((vector_size(32)));
};
template <>
struct TMaskOf<TVec16> {
    using T = int32_t __attribute__((vector_size(64)));
};

// Lane i of the four ways to interleave two registers within each 128-bit half:
// 32-bit low, 32-bit high, 64-bit low, 64-bit high.
constexpr int Interleave(int kind, int i, int lanes)
{
    const int base = i / 4 * 4;
    const int j = i % 4;
    const int half = (kind & 1) * 2;
    if (kind < 2)
        return (j & 1) * lanes + base + j / 2 + half;
    return (j / 2) * lanes + base + (j & 1) + half;
}

template <class V, int Kind, size_t... I>
[[gnu::always_inline]] inline void Shuffle(V& r, const V& a, const V& b, std::index_sequence<I...>)
{
    using TMask = typename TMaskOf<V>::T;
    constexpr int kLanes = sizeof(V) / 4;
    r = __builtin_shuffle(a, b, TMask{Interleave(Kind, I, kLanes)...});
}

// Four registers of whole blocks become four registers of word j, one block per lane, and
// back: a 4x4 transpose of 32-bit words within each 128-bit half.
template <class V>
[[gnu::always_inline]] inline void Transpose(TWords<V>& r)
{
    constexpr auto kIdx = std::make_index_sequence<sizeof(V) / 4>();
    TWords<V> t;
    Shuffle<V, 0>(t[0], r[0], r[1], kIdx);
    Shuffle<V, 1>(t[1], r[0], r[1], kIdx);
    Shuffle<V, 0>(t[2], r[2], r[3], kIdx);
    Shuffle<V, 1>(t[3], r[2], r[3], kIdx);
    Shuffle<V, 2>(r[0], t[0], t[2], kIdx);
    Shuffle<V, 3>(r[1], t[0], t[2], kIdx);
    Shuffle<V, 2>(r[2], t[1], t[3], kIdx);
    Shuffle<V, 3>(r[3], t[1], t[3], kIdx);
}

// CBC decryption has no chain between blocks: each pass decrypts 4 * sizeof(V) / 16
// blocks, one per lane, reading every ciphertext it needs before it writes anything,
// which keeps in-place use safe.
template <class V>
[[gnu::always_inline]] inline void DecryptLanes(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks,
                                                uint8_t* cv)
{
    constexpr size_t kRow = sizeof(V);
    constexpr size_t kBatch = 4 * kRow / 16;
    alignas(64) uint8_t first[kRow];
    alignas(64) uint8_t partial[4 * kRow];
    const TWipeOnExit wipePartial(partial);
    while (blocks > 0) {
        const size_t n = std::min(blocks, kBatch);
        const uint8_t* src = in;
        uint8_t* dst = out;
        if (n < kBatch) {
            std::memcpy(partial, in, n * 16);
            std::memset(partial + n * 16, 0, (kBatch - n) * 16);
            src = dst = partial;
        }
        TWords<V> x;
        TWords<V> prev;
        std::memcpy(first, cv, 16);
        std::memcpy(first + 16, src, kRow - 16);
        Load(prev[0], first);
        for (size_t j = 0; j < 4; ++j) {
            Load(x[j], src + j * kRow);
            if (j > 0)
                Load(prev[j], src + j * kRow - 16);
        }
        std::memcpy(cv, src + (n - 1) * 16, 16);
        Transpose(x);
        serpent::DecryptWords(x, keys);
        Transpose(x);
        for (size_t j = 0; j < 4; ++j)
            Store(dst + j * kRow, x[j] ^ prev[j]);
        if (n < kBatch)
            std::memcpy(out, partial, n * 16);
        in += n * 16;
        out += n * 16;
        blocks -= n;
    }
}

void DecryptSse2(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    DecryptLanes<TVec4>(keys, in, out, blocks, cv);
}

[[gnu::target("avx2")]] void DecryptAvx2(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks,
                                         uint8_t* cv)
{
    DecryptLanes<TVec8>(keys, in, out, blocks, cv);
}

[[gnu::target("avx512f,avx512vl")]] void DecryptAvx512(const uint32_t* keys, const uint8_t* in, uint8_t* out,
                                                       size_t blocks, uint8_t* cv)
{
    DecryptLanes<TVec16>(keys, in, out, blocks, cv);
}

// Word j of one block into every lane of register j, and back.
[[gnu::always_inline]] inline void Spread(TWords<TVec4>& x, const TVec4& v)
{
    using TMask = TMaskOf<TVec4>::T;
    x[0] = __builtin_shuffle(v, TMask{0, 0, 0, 0});
    x[1] = __builtin_shuffle(v, TMask{1, 1, 1, 1});
    x[2] = __builtin_shuffle(v, TMask{2, 2, 2, 2});
    x[3] = __builtin_shuffle(v, TMask{3, 3, 3, 3});
}

[[gnu::always_inline]] inline TVec4 Gather(const TWords<TVec4>& x)
{
    return TVec4{x[0][0], x[1][0], x[2][0], x[3][0]};
}

// One block's words in vector registers, each word in every lane: the three-input logic
// and rotate instructions shorten the chain of the rounds.
[[gnu::target("avx512f,avx512vl")]] void EncryptAvx512(const uint32_t* keys, const uint8_t* in, uint8_t* out,
                                                       size_t blocks, uint8_t* cv)
{
    TWords<TVec4> x;
    TVec4 block;
    Load(block, cv);
    Spread(x, block);
    for (; blocks > 0; --blocks, in += 16, out += 16) {
        TWords<TVec4> p;
        Load(block, in);
        Spread(p, block);
        for (int j = 0; j < 4; ++j)
            x[j] ^= p[j];
        serpent::EncryptWords(x, keys);
        Store(out, Gather(x));
    }
    Store(cv, Gather(x));
}

#endif

} // namespace

TSerpentLanes SerpentLanes(TSerpentLanes cap)
{
    TSerpentLanes best = TSerpentLanes::Scalar;
#ifdef LW_SERPENT_VECTORS
    const TCpuFeatures& f = CpuFeatures();
    if (f.avx512f && f.avx512vl)
        best = TSerpentLanes::Avx512;
    else if (f.avx2)
        best = TSerpentLanes::Avx2;
    else if (f.sse2)
        best = TSerpentLanes::Sse2;
#endif
    return std::min(best, cap);
}

void SerpentEncryptCbc(TSerpentLanes lanes, const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks,
                       uint8_t* cv)
{
#ifdef LW_SERPENT_VECTORS
    if (lanes == TSerpentLanes::Avx512)
        return EncryptAvx512(keys, in, out, blocks, cv);
#endif
    (void)lanes;
    EncryptChain(keys, in, out, blocks, cv);
}

void SerpentDecryptCbc(TSerpentLanes lanes, const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks,
                       uint8_t* cv)
{
#ifdef LW_SERPENT_VECTORS
    switch (lanes) {
    case TSerpentLanes::Avx512: return DecryptAvx512(keys, in, out, blocks, cv);
    case TSerpentLanes::Avx2: return DecryptAvx2(keys, in, out, blocks, cv);
    case TSerpentLanes::Sse2: return DecryptSse2(keys, in, out, blocks, cv);
    case TSerpentLanes::Scalar: break;
    }
#endif
    (void)lanes;
    DecryptOneByOne(keys, in, out, blocks, cv);
}

} // namespace lw
