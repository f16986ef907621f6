#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace lw {

inline constexpr size_t kWipeBufferSize = 4096;
inline constexpr int kWipePasses = 7;
// The pattern goes out in writes of up to this many bytes, a whole number of patterns.
inline constexpr size_t kWipeWriteSize = 256 * kWipeBufferSize;

// Passes 1, 3, 5: 0x00; passes 2, 4, 6: 0xFF; pass 7: random bytes drawn from seed.
void FillWipePattern(int pass, std::span<uint8_t> buffer, uint32_t& seed);

// The write buffer for a file of this size: the size rounded up to whole patterns, at most kWipeWriteSize.
size_t WipeWriteSize(int64_t fileSize);

// Fills out with pattern repeated from its first byte.
void RepeatPattern(std::span<const uint8_t> pattern, std::span<uint8_t> out);

// Per byte: seed = seed * 134775813 + 1 (mod 2^32); the byte is the top 8 bits.
void FillRandomBytes(std::span<uint8_t> buffer, uint32_t& seed);

// The low 32 bits of the platform's high-resolution counter.
uint32_t ClockSeed();

} // namespace lw
