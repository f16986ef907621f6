#include <immintrin.h>

#include "crypto/RijndaelNi.h"

// Only this file's functions use the wide vectors; callers check the CPU first.
#define LW_VAES512 __attribute__((target("aes,avx512f,vaes")))
#define LW_VAES256 __attribute__((target("aes,avx2,vaes")))

namespace lw {
namespace {

// One register of blocks and what the loop does with it, per vector width. Each operation
// carries its width's instruction set; the loop below is written once over them.
struct TWide512 {
    using V = __m512i;
    static constexpr size_t kBlocks = 4;

    LW_VAES512 static V Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    LW_VAES512 static void Store(uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
    // The all-ones zero-masking forms below mean the plain ones; the plain ones start from
    // an undefined register that this compiler's warnings reject.
    LW_VAES512 static V Broadcast(const uint8_t* p)
    {
        return _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    LW_VAES512 static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
    LW_VAES512 static V Dec(V s, V k) { return _mm512_aesdec_epi128(s, k); }
    LW_VAES512 static V DecLast(V s, V k) { return _mm512_aesdeclast_epi128(s, k); }
    // The blocks before those of c, given the register p that precedes c.
    LW_VAES512 static V Previous(V c, V p) { return _mm512_maskz_alignr_epi64(0xFF, c, p, 6); }
    LW_VAES512 static void StoreTop(uint8_t* p, V v)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_maskz_extracti32x4_epi32(0xF, v, 3));
    }
};

// For CPUs with VAES but without 512-bit vectors.
struct TWide256 {
    using V = __m256i;
    static constexpr size_t kBlocks = 2;

    LW_VAES256 static V Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    LW_VAES256 static void Store(uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    LW_VAES256 static V Broadcast(const uint8_t* p)
    {
        return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    LW_VAES256 static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    LW_VAES256 static V Dec(V s, V k) { return _mm256_aesdec_epi128(s, k); }
    LW_VAES256 static V DecLast(V s, V k) { return _mm256_aesdeclast_epi128(s, k); }
    LW_VAES256 static V Previous(V c, V p) { return _mm256_permute2x128_si256(p, c, 0x21); }
    LW_VAES256 static void StoreTop(uint8_t* p, V v)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_extracti128_si256(v, 1));
    }
};

// Register j holds blocks W::kBlocks * j and on of a group; eight registers keep the AES
// unit busy. The chaining XOR rides in the last round key. The loop is always inlined
// into its wide caller below, also unoptimised, so its vectors never cross a call compiled
// for the default instruction set; the vector-passing note is about such calls.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
template <class W, int R>
[[gnu::always_inline]] inline void DecryptCbcWide(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in,
                                                  uint8_t* out, size_t blocks)
{
    using V = typename W::V;
    constexpr size_t kRegs = 8;
    constexpr size_t kStep = 16 * W::kBlocks;
    V k[R + 1];
#pragma GCC unroll 16
    for (int r = 0; r <= R; ++r)
        k[r] = W::Broadcast(keys.dec + static_cast<size_t>(r) * keys.stride);

    // The chaining value sits in the top block, where Previous looks for it.
    V prev = W::Broadcast(cv);
    size_t i = 0;
    for (; i + W::kBlocks * kRegs <= blocks; i += W::kBlocks * kRegs) {
        V c[kRegs];
        V s[kRegs];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j) {
            c[j] = W::Load(in + 16 * i + kStep * j);
            s[j] = W::Xor(c[j], k[R]);
        }
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
#pragma GCC unroll 8
            for (size_t j = 0; j < kRegs; ++j)
                s[j] = W::Dec(s[j], k[r]);
        s[0] = W::DecLast(s[0], W::Xor(k[0], W::Previous(c[0], prev)));
#pragma GCC unroll 8
        for (size_t j = 1; j < kRegs; ++j)
            s[j] = W::DecLast(s[j], W::Xor(k[0], W::Previous(c[j], c[j - 1])));
        prev = c[kRegs - 1];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j)
            W::Store(out + 16 * i + kStep * j, s[j]);
    }
    for (; i + W::kBlocks <= blocks; i += W::kBlocks) {
        const V c = W::Load(in + 16 * i);
        V s = W::Xor(c, k[R]);
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
            s = W::Dec(s, k[r]);
        s = W::DecLast(s, W::Xor(k[0], W::Previous(c, prev)));
        prev = c;
        W::Store(out + 16 * i, s);
    }
    // Fewer blocks than a register holds are left to the 128-bit instructions.
    W::StoreTop(cv, prev);
    AesNiDecryptCBC(keys, cv, in + 16 * i, out + 16 * i, blocks - i);
}
#pragma GCC diagnostic pop

template <int R>
LW_VAES512 [[gnu::flatten]] void DecryptCbc512(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out,
                                               size_t blocks)
{
    DecryptCbcWide<TWide512, R>(keys, cv, in, out, blocks);
}

template <int R>
LW_VAES256 [[gnu::flatten]] void DecryptCbc256(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out,
                                               size_t blocks)
{
    DecryptCbcWide<TWide256, R>(keys, cv, in, out, blocks);
}

} // namespace

void VaesDecryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds, [&](auto r) { DecryptCbc512<decltype(r)::value>(keys, cv, in, out, blocks); });
}

void VaesDecryptCBC256(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds, [&](auto r) { DecryptCbc256<decltype(r)::value>(keys, cv, in, out, blocks); });
}

} // namespace lw
