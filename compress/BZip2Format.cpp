#include "compress/BZip2Format.h"

#include <array>

namespace lw::bz {

namespace {

// Eight tables, for eight bytes a step; table k advances a byte by k more bytes of zeros.
struct TCrcTables {
    std::array<std::array<uint32_t, 256>, 8> t{};
    constexpr TCrcTables()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i << 24;
            for (int k = 0; k < 8; ++k)
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04c11db7u : c << 1;
            t[0][i] = c;
        }
        for (size_t k = 1; k < 8; ++k)
            for (uint32_t i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    }
};

constexpr TCrcTables kCrc;

uint32_t Update(uint32_t c, std::span<const uint8_t> data)
{
    const auto& t = kCrc.t;
    const uint8_t* p = data.data();
    size_t n = data.size();
    for (; n >= 8; p += 8, n -= 8) {
        const uint32_t a = c ^ LoadBE32(p), b = LoadBE32(p + 4);
        c = t[7][a >> 24] ^ t[6][(a >> 16) & 0xff] ^ t[5][(a >> 8) & 0xff] ^ t[4][a & 0xff] ^ t[3][b >> 24] ^
            t[2][(b >> 16) & 0xff] ^ t[1][(b >> 8) & 0xff] ^ t[0][b & 0xff];
    }
    for (; n > 0; ++p, --n)
        c = (c << 8) ^ t[0][(c >> 24) ^ *p];
    return c;
}

} // namespace

uint32_t BlockCrc(std::span<const uint8_t> data)
{
    return ~Update(0xffffffffu, data);
}

uint32_t StoredBlockCrc(std::span<const uint8_t> stored)
{
    const auto& t = kCrc.t[0];
    uint32_t c = 0xffffffffu;
    const size_t n = stored.size();
    size_t plain = 0; // start of the bytes not yet counted
    unsigned same = 0;
    for (size_t i = 0; i < n; ++i) {
        same = (i > plain && stored[i] == stored[i - 1]) ? same + 1 : 1;
        if (same == 4 && i + 1 < n) {
            c = Update(c, stored.subspan(plain, i + 1 - plain));
            for (unsigned k = stored[++i]; k > 0; --k)
                c = (c << 8) ^ t[(c >> 24) ^ stored[i - 1]];
            plain = i + 1;
            same = 0;
        }
    }
    return ~Update(c, stored.subspan(plain));
}

bool LocateOnlyBlock(std::span<const uint8_t> stream, uint64_t& from, uint64_t& bits, uint32_t& crc)
{
    const uint64_t total = stream.size() * uint64_t{8};
    crc = static_cast<uint32_t>(PeekBits(stream, kHeaderBits + kMagicBits, kCrcBits));
    if (total < 2 * (kHeaderBits + kMagicBits + kCrcBits) + 8 ||
        PeekBits(stream, kHeaderBits, kMagicBits) != kBlockMagic)
        return false;
    // The end marker and the stream checksum (equal to the block's) are padded to a byte.
    for (unsigned pad = 0; pad < 8; ++pad) {
        const uint64_t end = total - pad - kMagicBits - kCrcBits;
        if (PeekBits(stream, end, kMagicBits) == kEndMagic && PeekBits(stream, end + kMagicBits, kCrcBits) == crc &&
            PeekBits(stream, total - pad, pad) == 0) {
            from = kHeaderBits;
            bits = end - kHeaderBits;
            return true;
        }
    }
    return false;
}

uint64_t PeekBits(std::span<const uint8_t> data, uint64_t offset, unsigned count)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i) {
        const uint64_t bit = offset + i;
        const uint64_t byte = bit / 8;
        const unsigned b = byte < data.size() ? (data[static_cast<std::size_t>(byte)] >> (7 - bit % 8)) & 1u : 0u;
        value = (value << 1) | b;
    }
    return value;
}

void TBitWriter::Put(uint64_t bits, unsigned count)
{
    if (count == 0)
        return;
    m_acc = (m_acc << count) | (bits & ((uint64_t{1} << count) - 1));
    m_pending += count;
    while (m_pending >= 8) {
        m_pending -= 8;
        m_bytes.push_back(static_cast<uint8_t>(m_acc >> m_pending));
    }
    m_acc &= (uint64_t{1} << m_pending) - 1;
}

void TBitWriter::PutBits(std::span<const uint8_t> data, uint64_t from, uint64_t count)
{
    const auto whole = static_cast<size_t>(count / 8);
    const uint8_t* in = data.data() + from / 8;
    const auto shift = static_cast<unsigned>(from % 8);
    const size_t start = m_bytes.size();
    // A source byte at an odd bit offset is made of two neighbours; both lie inside the
    // count bits, so nothing past them is read.
    const auto source = [in, shift](size_t i) {
        return static_cast<uint8_t>(shift == 0 ? in[i] : (in[i] << shift) | (in[i + 1] >> (8 - shift)));
    };
    if (m_pending == 0 && shift == 0) {
        m_bytes.insert(m_bytes.end(), in, in + whole);
    } else if (m_pending == 0) {
        m_bytes.resize(start + whole);
        uint8_t* out = m_bytes.data() + start;
        for (size_t i = 0; i < whole; ++i)
            out[i] = source(i);
    } else {
        m_bytes.resize(start + whole);
        uint8_t* out = m_bytes.data() + start;
        const unsigned keep = m_pending;
        uint64_t acc = m_acc;
        for (size_t i = 0; i < whole; ++i) {
            acc = (acc << 8) | source(i);
            out[i] = static_cast<uint8_t>(acc >> keep);
        }
        m_acc = acc & ((uint64_t{1} << keep) - 1);
    }
    if (const auto rest = static_cast<unsigned>(count % 8))
        Put(PeekBits(data, from + uint64_t{whole} * 8, rest), rest);
}

void TBitWriter::Pad()
{
    if (m_pending != 0)
        Put(0, 8 - m_pending);
}

void TBitWriter::ClearBytes()
{
    m_flushed += m_bytes.size() * 8;
    m_bytes.clear();
}

} // namespace lw::bz
