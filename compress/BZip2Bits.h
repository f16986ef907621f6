#pragma once
// Bit-level pieces of the bzip2 format, shared by the parallel compressor and the
// parallel decompressor (reuse them there: bits go most significant first).
#include <cstdint>
#include <span>
#include <vector>

namespace lw::bz {

inline constexpr uint64_t kBlockMagic = 0x314159265359; // starts every block, 48 bits
inline constexpr uint64_t kEndMagic = 0x177245385090;   // ends the stream, 48 bits
inline constexpr unsigned kMagicBits = 48;
inline constexpr unsigned kHeaderBits = 32; // "BZh" and the block-size digit

// The stream CRC after one more block.
constexpr uint32_t CombineCrc(uint32_t combined, uint32_t blockCrc)
{
    return ((combined << 1) | (combined >> 31)) ^ blockCrc;
}

// count (at most 64) bits from bit offset; bits past the end read as 0.
uint64_t PeekBits(std::span<const uint8_t> data, uint64_t offset, unsigned count);

// Appends bits to a byte vector; fewer than 8 bits wait for the next ones.
class TBitWriter {
public:
    // The low count bits of bits, count at most 32.
    void Put(uint64_t bits, unsigned count);
    // The first count bits of data.
    void PutBits(std::span<const uint8_t> data, uint64_t count);
    // Zero bits up to the next byte boundary.
    void Pad();

    // Complete bytes so far; the caller may take and clear them.
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    uint64_t BitCount() const { return m_flushed + m_bytes.size() * 8 + m_pending; }
    void ClearBytes();

private:
    std::vector<uint8_t> m_bytes;
    uint64_t m_flushed = 0; // bits in bytes already cleared
    uint64_t m_acc = 0;     // the low m_pending bits are waiting
    unsigned m_pending = 0;
};

} // namespace lw::bz
