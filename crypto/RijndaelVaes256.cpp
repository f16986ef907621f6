// Built with AES, AVX2 and VAES enabled for the whole file; callers check the CPU first.
#include <immintrin.h>

#include "crypto/RijndaelVaesLoop.h"

namespace lw {
namespace {

// Two blocks a register, for CPUs with VAES but without 512-bit vectors.
struct TVector256 {
    using Vector = __m256i;
    static constexpr size_t kBlocks = 2;

    static Vector Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint8_t* p, Vector v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static Vector Xor(Vector a, Vector b) { return _mm256_xor_si256(a, b); }
    static Vector Dec(Vector s, Vector k) { return _mm256_aesdec_epi128(s, k); }
    static Vector DecLast(Vector s, Vector k) { return _mm256_aesdeclast_epi128(s, k); }
    static Vector Broadcast(const uint8_t* block)
    {
        return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)));
    }
    // The blocks before those of c, given the register p that precedes c.
    static Vector Previous(Vector c, Vector p) { return _mm256_permute2x128_si256(p, c, 0x21); }
    static void StoreTopBlock(uint8_t* block, Vector v)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block), _mm256_extracti128_si256(v, 1));
    }
};

} // namespace

void VaesDecryptCBC256(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds,
               [&](auto r) { VaesDecryptCbcLoop<TVector256, decltype(r)::value>(keys, cv, in, out, blocks); });
}

} // namespace lw
