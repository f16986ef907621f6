#pragma once
// Bit-level helpers for splitting a bzip2 stream at its block boundaries.
#include <cstdint>
#include <span>
#include <vector>

namespace lw {

inline constexpr uint64_t kBZBlockMagic = 0x314159265359;
inline constexpr uint64_t kBZEndMagic = 0x177245385090;

// A place where a block magic or the end-of-stream magic starts.
struct TBZBlockMark {
    int64_t bit; // absolute, counted from the stream's first bit
    bool end;    // end-of-stream magic rather than block magic
};

// Appends, in order, every magic that starts in bytes [from, to) of `bytes` and lies wholly
// inside `bytes`. `firstByte` is the absolute index of bytes[0].
void FindBlockMarks(std::span<const uint8_t> bytes, int64_t firstByte, size_t from, size_t to,
                    std::vector<TBZBlockMark>& marks);

// `count` bits (at most 64) of `bytes` from bit `at`, first bit most significant.
uint64_t BitsAt(std::span<const uint8_t> bytes, uint64_t at, unsigned count);

// Collects bits most significant first and pads the last byte with zeros.
class TBZBitSink {
public:
    void Put(uint64_t value, unsigned count);
    void PutSpan(std::span<const uint8_t> bytes, uint64_t from, uint64_t count);
    uint64_t BitCount() const { return m_bits; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    uint64_t m_bits = 0;
};

} // namespace lw
