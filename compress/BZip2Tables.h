#pragma once
// The Huffman coding tables of one block, chosen exactly as the library chooses them: the
// same number of tables, the same start, four rounds of refinement over groups of 50
// symbols, the same tie-breaks and the same length limit. Another valid choice would
// decode as well, but the stream would not be the library's byte for byte.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace lw::bz {

inline constexpr unsigned kMaxAlpha = 258; // 256 byte values, two run symbols, no EOB
inline constexpr unsigned kMaxTables = 6;
inline constexpr unsigned kGroupSize = 50;
inline constexpr unsigned kMaxCodeLength = 17;

// Code lengths for `freq` (one a symbol, 2..258 symbols), none longer than maxLength:
// the library's heap and its tie-breaks, halving the counts until the codes fit.
void MakeCodeLengths(std::span<uint8_t> lengths, std::span<const int32_t> freq, unsigned maxLength);

struct TCodingTables {
    unsigned count = 0; // 2..6
    std::array<std::array<uint8_t, kMaxAlpha>, kMaxTables> lengths{};
    std::vector<uint8_t> selectors; // the table of each group of 50 symbols
};

// symbols: the block's move-to-front output, EOB last; alphaSize: the bytes in use plus
// two; freq: each symbol's count in symbols.
void ChooseTables(std::span<const uint16_t> symbols, unsigned alphaSize, std::span<const int32_t> freq,
                  TCodingTables& tables);

} // namespace lw::bz
