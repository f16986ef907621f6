#include <immintrin.h>

#include "crypto/RijndaelNi.h"

// Only this file's functions use the wide vectors; callers check the CPU first.
#define LW_VAES __attribute__((target("aes,avx512f,vaes")))
#define LW_VAES256 __attribute__((target("aes,avx2,vaes")))

namespace lw {
namespace {

LW_VAES inline __m128i Load(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

LW_VAES inline void Store(uint8_t* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The all-ones zero-masking forms below mean the plain ones; the plain ones start from an
// undefined register that this compiler's warnings reject.
LW_VAES inline __m512i Broadcast(__m128i v)
{
    return _mm512_maskz_broadcast_i32x4(0xFFFF, v);
}

// The four blocks before those of c, given the register p that precedes c.
LW_VAES inline __m512i Previous(__m512i c, __m512i p)
{
    return _mm512_maskz_alignr_epi64(0xFF, c, p, 6);
}

// Register j holds blocks 4j..4j+3 of a group; eight registers keep the AES unit busy.
template <int R>
LW_VAES void DecryptCbc(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    constexpr size_t kRegs = 8;
    __m512i k[R + 1];
#pragma GCC unroll 16
    for (int r = 0; r <= R; ++r)
        k[r] = Broadcast(Load(keys.dec + static_cast<size_t>(r) * keys.stride));

    // The chaining value sits in the top block, where Previous looks for it.
    __m512i prev = Broadcast(Load(cv));
    size_t i = 0;
    for (; i + 4 * kRegs <= blocks; i += 4 * kRegs) {
        __m512i c[kRegs];
        __m512i s[kRegs];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j) {
            c[j] = _mm512_loadu_si512(in + 16 * i + 64 * j);
            s[j] = _mm512_xor_si512(c[j], k[R]);
        }
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
#pragma GCC unroll 8
            for (size_t j = 0; j < kRegs; ++j)
                s[j] = _mm512_aesdec_epi128(s[j], k[r]);
        s[0] = _mm512_aesdeclast_epi128(s[0], _mm512_xor_si512(k[0], Previous(c[0], prev)));
#pragma GCC unroll 8
        for (size_t j = 1; j < kRegs; ++j)
            s[j] = _mm512_aesdeclast_epi128(s[j], _mm512_xor_si512(k[0], Previous(c[j], c[j - 1])));
        prev = c[kRegs - 1];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j)
            _mm512_storeu_si512(out + 16 * i + 64 * j, s[j]);
    }
    for (; i + 4 <= blocks; i += 4) {
        const __m512i c = _mm512_loadu_si512(in + 16 * i);
        __m512i s = _mm512_xor_si512(c, k[R]);
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
            s = _mm512_aesdec_epi128(s, k[r]);
        s = _mm512_aesdeclast_epi128(s, _mm512_xor_si512(k[0], Previous(c, prev)));
        prev = c;
        _mm512_storeu_si512(out + 16 * i, s);
    }
    // Fewer blocks than a register holds are left to the 128-bit instructions.
    Store(cv, _mm512_maskz_extracti32x4_epi32(0xF, prev, 3));
    AesNiDecryptCBC(keys, cv, in + 16 * i, out + 16 * i, blocks - i);
}

LW_VAES256 inline __m128i Load128(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

LW_VAES256 inline __m256i Previous256(__m256i c, __m256i p)
{
    return _mm256_permute2x128_si256(p, c, 0x21);
}

// Two blocks a register, for CPUs with VAES but without 512-bit vectors.
template <int R>
LW_VAES256 void DecryptCbc256(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    constexpr size_t kRegs = 8;
    __m256i k[R + 1];
#pragma GCC unroll 16
    for (int r = 0; r <= R; ++r)
        k[r] = _mm256_broadcastsi128_si256(Load128(keys.dec + static_cast<size_t>(r) * keys.stride));

    __m256i prev = _mm256_broadcastsi128_si256(Load128(cv));
    size_t i = 0;
    for (; i + 2 * kRegs <= blocks; i += 2 * kRegs) {
        __m256i c[kRegs];
        __m256i s[kRegs];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j) {
            c[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 16 * i + 32 * j));
            s[j] = _mm256_xor_si256(c[j], k[R]);
        }
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
#pragma GCC unroll 8
            for (size_t j = 0; j < kRegs; ++j)
                s[j] = _mm256_aesdec_epi128(s[j], k[r]);
        s[0] = _mm256_aesdeclast_epi128(s[0], _mm256_xor_si256(k[0], Previous256(c[0], prev)));
#pragma GCC unroll 8
        for (size_t j = 1; j < kRegs; ++j)
            s[j] = _mm256_aesdeclast_epi128(s[j], _mm256_xor_si256(k[0], Previous256(c[j], c[j - 1])));
        prev = c[kRegs - 1];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * i + 32 * j), s[j]);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cv), _mm256_extracti128_si256(prev, 1));
    AesNiDecryptCBC(keys, cv, in + 16 * i, out + 16 * i, blocks - i);
}

} // namespace

void VaesDecryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds, [&](auto r) { DecryptCbc<decltype(r)::value>(keys, cv, in, out, blocks); });
}

void VaesDecryptCBC256(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds, [&](auto r) { DecryptCbc256<decltype(r)::value>(keys, cv, in, out, blocks); });
}

} // namespace lw
