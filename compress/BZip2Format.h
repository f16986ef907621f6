#pragma once
// The bzip2 format at bit level, for the parallel compressor, the parallel decompressor and its
// block decoder: magics, the block checksum, and one bit reader and one bit writer. Bits go
// most significant first throughout.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/LoadStore.h"

namespace lw::bz {

inline constexpr uint32_t kStreamMagic = 0x425A6830; // "BZh0": add the block-size digit
inline constexpr unsigned kHeaderBits = 32;
inline constexpr uint64_t kBlockMagic = 0x314159265359; // starts every block
inline constexpr uint64_t kEndMagic = 0x177245385090;   // ends the stream
inline constexpr unsigned kMagicBits = 48;
inline constexpr unsigned kCrcBits = 32;

// The stream header of block size `level` (1..9).
constexpr uint32_t StreamHeader(int level)
{
    return kStreamMagic + static_cast<uint32_t>(level);
}

// The stream checksum after one more block.
constexpr uint32_t CombineCrc(uint32_t combined, uint32_t blockCrc)
{
    return ((combined << 1) | (combined >> 31)) ^ blockCrc;
}

// The block checksum of `data`: most significant bit first, inverted at both ends.
uint32_t BlockCrc(std::span<const uint8_t> data);
// The same of the bytes a block stands for, given as stored after the first run-length
// stage (four equal bytes, then a count of more).
uint32_t StoredBlockCrc(std::span<const uint8_t> stored);

// The block inside a stream of one block: its first bit, its length in bits and its
// checksum. False when the stream is not one block and its end.
bool LocateOnlyBlock(std::span<const uint8_t> stream, uint64_t& from, uint64_t& bits, uint32_t& crc);

// count (at most 64) bits from bit `offset`; bits past the end read as 0.
uint64_t PeekBits(std::span<const uint8_t> data, uint64_t offset, unsigned count);

// Reads ahead at least 56 bits at each Refill; bits past the end of the input read as zeros.
// Inline: the block decoder's inner loop lives on it.
class TBitReader {
public:
    TBitReader(std::span<const uint8_t> in, uint64_t startBit)
        : m_data(in.data()), m_size(in.size()), m_next(static_cast<size_t>(startBit / 8))
    {
        Refill();
        Skip(static_cast<unsigned>(startBit % 8));
    }

    void Refill()
    {
        if (m_next + 8 <= m_size) {
            m_bits |= LoadBE64(m_data + m_next) >> m_count;
            m_next += (63 - m_count) >> 3;
            m_count |= 56;
            return;
        }
        while (m_count <= 56) {
            const uint64_t b = m_next < m_size ? m_data[m_next] : 0;
            ++m_next;
            m_bits |= b << (56 - m_count);
            m_count += 8;
        }
    }
    // count 1..32
    uint32_t Get(unsigned count)
    {
        if (m_count < count)
            Refill();
        const auto v = static_cast<uint32_t>(m_bits >> (64 - count));
        Skip(count);
        return v;
    }
    // The next bits, left-aligned.
    uint64_t Peek() const { return m_bits; }
    void Skip(unsigned count)
    {
        m_bits <<= count;
        m_count -= count;
    }
    uint64_t Position() const { return uint64_t{m_next} * 8 - m_count; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_next;
    uint64_t m_bits = 0;
    unsigned m_count = 0;
};

// Appends bits to a byte vector; fewer than 8 bits wait for the next ones (or Pad).
class TBitWriter {
public:
    // The low count bits of bits, count at most 56.
    void Put(uint64_t bits, unsigned count);
    // count bits of data from bit `from`.
    void PutBits(std::span<const uint8_t> data, uint64_t from, uint64_t count);
    // Zero bits up to the next byte boundary.
    void Pad();

    // Complete bytes so far; the caller may take and clear them, or lend a vector to fill.
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
