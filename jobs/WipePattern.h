#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace lw {

inline constexpr size_t kWipeBufferSize = 4096;
inline constexpr int kWipePasses = 7;

// Passes 1, 3, 5: 0x00; passes 2, 4, 6: 0xFF; pass 7: random bytes drawn from seed.
void FillWipePattern(int pass, std::span<uint8_t> buffer, uint32_t& seed);

// Per byte: seed = seed * 134775813 + 1 (mod 2^32); the byte is the top 8 bits.
void FillRandomBytes(std::span<uint8_t> buffer, uint32_t& seed);

// The low 32 bits of the monotonic high-resolution clock, in nanoseconds.
uint32_t ClockSeed();

} // namespace lw
