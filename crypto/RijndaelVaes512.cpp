// Built with AES, AVX-512 and VAES enabled for the whole file; callers check the CPU first.
#include <immintrin.h>

#include "crypto/RijndaelVaesLoop.h"

namespace lw {
namespace {

// Four blocks a register. The all-ones zero-masking forms mean the plain ones; the plain
// ones start from an undefined register that this compiler's warnings reject.
struct TVector512 {
    using Vector = __m512i;
    static constexpr size_t kBlocks = 4;

    static Vector Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    static void Store(uint8_t* p, Vector v) { _mm512_storeu_si512(p, v); }
    static Vector Xor(Vector a, Vector b) { return _mm512_xor_si512(a, b); }
    static Vector Dec(Vector s, Vector k) { return _mm512_aesdec_epi128(s, k); }
    static Vector DecLast(Vector s, Vector k) { return _mm512_aesdeclast_epi128(s, k); }
    static Vector Broadcast(const uint8_t* block)
    {
        return _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block)));
    }
    // The blocks before those of c, given the register p that precedes c.
    static Vector Previous(Vector c, Vector p) { return _mm512_maskz_alignr_epi64(0xFF, c, p, 6); }
    static void StoreTopBlock(uint8_t* block, Vector v)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block), _mm512_maskz_extracti32x4_epi32(0xF, v, 3));
    }
};

} // namespace

void VaesDecryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (blocks == 0)
        return;
    WithRounds(keys.rounds,
               [&](auto r) { VaesDecryptCbcLoop<TVector512, decltype(r)::value>(keys, cv, in, out, blocks); });
}

} // namespace lw
