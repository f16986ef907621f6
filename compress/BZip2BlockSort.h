#pragma once
// The block sort of a bzip2 encoder: the order of a block's cyclic rotations, by suffix
// sorting the block from its least rotation on.
#include <cstdint>
#include <span>
#include <vector>

namespace lw::bz {

// Scratch kept between blocks, so an encoder thread allocates once.
struct TBlockSortWork {
    std::vector<uint8_t> text;                // the block from its least rotation on
    std::vector<int32_t> order;               // suffix order, the reduced problems inside it
    std::vector<uint64_t> lms;                // LMS positions as bits, level after level
    std::vector<int32_t> ranks;               // LMS positions before each word of those bits
    std::vector<std::vector<int32_t>> tables; // bucket tables that find no room in `order`
};

// Sorts the cyclic rotations of `block` (1..900000 bytes; lastColumn as long). On success,
// lastColumn[i] is the byte before rotation i in sorted order (block[(start_i + n - 1) % n])
// and origin is the place of rotation 0 in that order. False, leaving the outputs
// unspecified, when two rotations are equal (the block repeats a shorter string): their
// order would be the sorter's choice.
bool SortRotations(std::span<const uint8_t> block, std::span<uint8_t> lastColumn, uint32_t& origin,
                   TBlockSortWork& work);

} // namespace lw::bz
