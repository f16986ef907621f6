#pragma once
// How the parallel decompressor hands pieces of one stream to the library: a block found by
// the scanner, wrapped as a stream of its own; and, where the library must go on alone, a
// fresh stream primed to carry on from the middle of the source with the same checksums.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lw::bz {

// Bits [startBit, endBit) of `raw`, a block with its magic first, alone as a whole stream of
// block size `level`: the header, the block, and the end with the block's own checksum as the
// combined one. `out` is refilled, keeping its capacity. Returns the block's checksum.
uint32_t WrapBlock(std::span<const uint8_t> raw, uint64_t startBit, uint64_t endBit, int level,
                   std::vector<uint8_t>& out);

// The first bytes of a fresh library stream that goes on exactly as the single stream would
// at source bit `bit`, once blocks of combined checksum `crc` are behind it. A small block
// with checksum `crc`, ending at bit % 8 of a byte, follows the header; then the rest of the
// source byte that holds `bit`, `partial`, whose first bit % 8 bits are not used. The source
// goes on from the next whole byte.
struct TBridge {
    std::vector<uint8_t> bytes;
    size_t skip = 0; // what the small block decodes to, to be dropped
};
TBridge BridgeTo(uint32_t crc, int level, uint64_t bit, uint8_t partial);

} // namespace lw::bz
