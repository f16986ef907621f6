#include "crypto/RijndaelNi.h"

#include <immintrin.h>

// Only these functions use the AES instructions; the rest of the build stays baseline.
#define LW_AESNI __attribute__((target("aes,sse2")))

namespace lw {
namespace {

LW_AESNI inline __m128i Load(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

LW_AESNI inline void Store(uint8_t* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Serial: each block waits for the one before. The next plaintext (with key 0) is folded
// into the last round key, so the chain between blocks is the AES rounds alone.
template <int R>
LW_AESNI void EncryptCbc(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    __m128i k[R + 1];
#pragma GCC unroll 16
    for (int r = 0; r <= R; ++r)
        k[r] = Load(keys.enc + r * keys.stride);

    __m128i s = _mm_xor_si128(Load(cv), _mm_xor_si128(Load(in), k[0]));
    for (size_t i = 1; i < blocks; ++i) {
#pragma GCC unroll 16
        for (int r = 1; r < R; ++r)
            s = _mm_aesenc_si128(s, k[r]);
        const __m128i next = _mm_xor_si128(Load(in + 16 * i), k[0]);
        s = _mm_aesenclast_si128(s, _mm_xor_si128(k[R], next));
        Store(out + 16 * (i - 1), _mm_xor_si128(s, next));
    }
#pragma GCC unroll 16
    for (int r = 1; r < R; ++r)
        s = _mm_aesenc_si128(s, k[r]);
    s = _mm_aesenclast_si128(s, k[R]);
    Store(out + 16 * (blocks - 1), s);
    Store(cv, s);
}

// Blocks are independent: eight in flight hide the instruction latency. The chaining
// XOR rides in the last round key. All loads of a group come before its stores.
template <int R>
LW_AESNI void DecryptCbc(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    constexpr size_t kLanes = 8;
    __m128i k[R + 1];
#pragma GCC unroll 16
    for (int r = 0; r <= R; ++r)
        k[r] = Load(keys.dec + r * keys.stride);

    __m128i prev = Load(cv);
    size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        __m128i c[kLanes];
        __m128i s[kLanes];
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j) {
            c[j] = Load(in + 16 * (i + j));
            s[j] = _mm_xor_si128(c[j], k[R]);
        }
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
#pragma GCC unroll 8
            for (size_t j = 0; j < kLanes; ++j)
                s[j] = _mm_aesdec_si128(s[j], k[r]);
        s[0] = _mm_aesdeclast_si128(s[0], _mm_xor_si128(k[0], prev));
#pragma GCC unroll 8
        for (size_t j = 1; j < kLanes; ++j)
            s[j] = _mm_aesdeclast_si128(s[j], _mm_xor_si128(k[0], c[j - 1]));
        prev = c[kLanes - 1];
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j)
            Store(out + 16 * (i + j), s[j]);
    }
    for (; i < blocks; ++i) {
        const __m128i c = Load(in + 16 * i);
        __m128i s = _mm_xor_si128(c, k[R]);
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
            s = _mm_aesdec_si128(s, k[r]);
        Store(out + 16 * i, _mm_aesdeclast_si128(s, _mm_xor_si128(k[0], prev)));
        prev = c;
    }
    Store(cv, prev);
}

} // namespace

LW_AESNI void AesNiEncryptBlock(const TAesRoundKeys& keys, const uint8_t* in, uint8_t* out)
{
    const uint32_t rounds = keys.rounds;
    __m128i s = _mm_xor_si128(Load(in), Load(keys.enc));
    for (uint32_t r = 1; r < rounds; ++r)
        s = _mm_aesenc_si128(s, Load(keys.enc + r * keys.stride));
    Store(out, _mm_aesenclast_si128(s, Load(keys.enc + rounds * keys.stride)));
}

LW_AESNI void AesNiDecryptBlock(const TAesRoundKeys& keys, const uint8_t* in, uint8_t* out)
{
    const uint32_t rounds = keys.rounds;
    __m128i s = _mm_xor_si128(Load(in), Load(keys.dec + rounds * keys.stride));
    for (uint32_t r = rounds - 1; r >= 1; --r)
        s = _mm_aesdec_si128(s, Load(keys.dec + r * keys.stride));
    Store(out, _mm_aesdeclast_si128(s, Load(keys.dec)));
}

void AesNiEncryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds, [&](auto r) { EncryptCbc<decltype(r)::value>(keys, cv, in, out, blocks); });
}

void AesNiDecryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds, [&](auto r) { DecryptCbc<decltype(r)::value>(keys, cv, in, out, blocks); });
}

} // namespace lw
