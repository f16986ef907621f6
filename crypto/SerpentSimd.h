#pragma once
#include <cstddef>
#include <cstdint>

namespace lw {

// How many blocks one pass of the rounds works on: one in general-purpose registers, or
// 4, 8 or 16 in the lanes of SSE2, AVX2 or AVX-512 registers. The AVX-512 level also
// chains CBC encryption through vector registers, whose three-input logic shortens the
// rounds of a single block.
enum class TSerpentLanes : uint8_t { Scalar, Sse2, Avx2, Avx512 };

// The widest level this CPU allows, at most cap.
TSerpentLanes SerpentLanes(TSerpentLanes cap);

// CBC over whole blocks with the round keys K0..K32; cv is the chaining value, read and
// updated. in and out may be the same buffer. Every level gives the same bytes.
void SerpentEncryptCbc(TSerpentLanes lanes, const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks,
                       uint8_t* cv);
void SerpentDecryptCbc(TSerpentLanes lanes, const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks,
                       uint8_t* cv);

} // namespace lw
