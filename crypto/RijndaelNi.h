#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lw {

// Round keys in byte order: rounds + 1 keys of 16 bytes, `stride` bytes apart. dec holds
// the equivalent-inverse-cipher keys (inner keys through InvMixColumns), indexed like enc.
struct TAesRoundKeys {
    const uint8_t* enc;
    const uint8_t* dec;
    size_t stride;
    uint32_t rounds; // 10, 12 or 14
};

// The variant a key of this many whole bytes picks: 10, 12 or 14 rounds.
constexpr uint32_t AesRounds(uint32_t keyBytes)
{
    return keyBytes <= 16 ? 10 : keyBytes <= 24 ? 12 : 14;
}

// Calls f with the round count as a compile-time constant, so each variant's rounds unroll.
template <class F>
void WithRounds(uint32_t rounds, F f)
{
    switch (rounds) {
    case 10: f(std::integral_constant<int, 10>{}); break;
    case 12: f(std::integral_constant<int, 12>{}); break;
    default: f(std::integral_constant<int, 14>{}); break;
    }
}

// AES instructions; callers check CpuFeatures().aes first.
void AesNiEncryptBlock(const TAesRoundKeys& keys, const uint8_t* in, uint8_t* out);
void AesNiDecryptBlock(const TAesRoundKeys& keys, const uint8_t* in, uint8_t* out);

// Whole CBC blocks; cv is the chaining value, read and updated. in may equal out.
void AesNiEncryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks);
void AesNiDecryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks);

// Four blocks a 512-bit register; callers check vaes and avx512f (and aes) first.
void VaesDecryptCBC(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks);
// Two blocks a 256-bit register; callers check vaes and avx2 (and aes) first.
void VaesDecryptCBC256(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks);

} // namespace lw
