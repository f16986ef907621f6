#pragma once
// Finds where a bzip2 stream's blocks begin, for splitting it at them.
#include <cstdint>
#include <span>
#include <vector>

namespace lw {

// A place where a block magic or the end-of-stream magic starts.
struct TBZBlockMark {
    int64_t bit; // absolute, counted from the stream's first bit
    bool end;    // end-of-stream magic rather than block magic
};

// Appends, in order, every magic that starts in bytes [from, to) of `bytes` and lies wholly
// inside `bytes`. `firstByte` is the absolute index of bytes[0].
void FindBlockMarks(std::span<const uint8_t> bytes, int64_t firstByte, size_t from, size_t to,
                    std::vector<TBZBlockMark>& marks);

} // namespace lw
