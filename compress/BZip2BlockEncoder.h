#pragma once
// One block of a bzip2 stream, coded here instead of by the library, to the same bits: the
// rotations sorted by induced sorting, then the library's move-to-front, run and Huffman
// steps with all of its choices. A block whose rotations tie (a repetition of a shorter
// string) is left to the library, whose order among equal rotations is its own.
#include <cstdint>
#include <span>
#include <vector>

#include "compress/BZip2BlockSort.h"
#include "compress/BZip2Tables.h"

namespace lw::bz {

// One thread's working memory, kept from block to block.
struct TBlockEncoderScratch {
    TBlockSortWork sort;
    std::vector<uint8_t> last; // the sorted rotations' last column
    std::vector<uint16_t> symbols;
    TCodingTables tables;
};

struct TEncodedBlock {
    std::vector<uint8_t> bytes; // from the block magic on; the last byte may be partial
    uint64_t bits = 0;
    uint32_t crc = 0; // the block checksum, also inside the bits
};

// stored: the block after the first run-length stage, 1 to 900000 bytes. False, with out
// unspecified, when the rotations tie.
bool EncodeBlock(std::span<const uint8_t> stored, TBlockEncoderScratch& scratch, TEncodedBlock& out);

} // namespace lw::bz
