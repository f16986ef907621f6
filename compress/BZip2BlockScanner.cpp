#include "compress/BZip2BlockScanner.h"

#include <array>

namespace lw {

namespace {

constexpr uint64_t kMask48 = (uint64_t{1} << 48) - 1;

// For a magic starting at bit s of byte p, bytes p+1 and p+2 are fixed; these tables give,
// per byte value, the set of (magic, s) pairs it allows: bit s for the block magic, 8 + s
// for the end magic.
struct TPrefilter {
    std::array<uint16_t, 256> second{};
    std::array<uint16_t, 256> third{};
    constexpr TPrefilter()
    {
        for (unsigned s = 0; s < 8; ++s) {
            second[(kBZBlockMagic >> (32 + s)) & 0xff] |= uint16_t(1u << s);
            third[(kBZBlockMagic >> (24 + s)) & 0xff] |= uint16_t(1u << s);
            second[(kBZEndMagic >> (32 + s)) & 0xff] |= uint16_t(1u << (8 + s));
            third[(kBZEndMagic >> (24 + s)) & 0xff] |= uint16_t(1u << (8 + s));
        }
    }
};

constexpr TPrefilter kPrefilter;

} // namespace

uint64_t BitsAt(std::span<const uint8_t> bytes, uint64_t at, unsigned count)
{
    uint64_t v = 0;
    for (unsigned i = 0; i < count; ++i) {
        const uint64_t b = at + i;
        v = (v << 1) | ((bytes[b >> 3] >> (7 - (b & 7))) & 1u);
    }
    return v;
}

void FindBlockMarks(std::span<const uint8_t> bytes, int64_t firstByte, size_t from, size_t to,
                    std::vector<TBZBlockMark>& marks)
{
    const size_t n = bytes.size();
    for (size_t p = from; p < to && p + 2 < n; ++p) {
        unsigned cand = kPrefilter.second[bytes[p + 1]] & kPrefilter.third[bytes[p + 2]];
        if (cand == 0)
            continue;
        // The 56 bits of bytes p..p+6, zero beyond the end.
        uint64_t w = 0;
        for (size_t k = 0; k < 7; ++k)
            w = (w << 8) | (p + k < n ? bytes[p + k] : 0u);
        for (unsigned s = 0; s < 8; ++s) {
            if (p * 8 + s + 48 > n * 8)
                break;
            const uint64_t v = (w >> (8 - s)) & kMask48;
            const int64_t bit = (firstByte + static_cast<int64_t>(p)) * 8 + s;
            if ((cand >> s & 1u) && v == kBZBlockMagic)
                marks.push_back({bit, false});
            else if ((cand >> (8 + s) & 1u) && v == kBZEndMagic)
                marks.push_back({bit, true});
        }
    }
}

void TBZBitSink::Put(uint64_t value, unsigned count)
{
    for (unsigned i = count; i-- > 0;) {
        if ((m_bits & 7) == 0)
            m_bytes.push_back(0);
        m_bytes.back() |= static_cast<uint8_t>(((value >> i) & 1u) << (7 - (m_bits & 7)));
        ++m_bits;
    }
}

void TBZBitSink::PutSpan(std::span<const uint8_t> bytes, uint64_t from, uint64_t count)
{
    if ((m_bits & 7) == 0 && count >= 16) {
        // Whole output bytes, each made of two neighbouring input bytes.
        const unsigned shift = from & 7;
        const uint64_t whole = count / 8 - 1;
        const size_t at = from >> 3;
        m_bytes.reserve(m_bytes.size() + whole + 2);
        for (uint64_t k = 0; k < whole; ++k) {
            const unsigned hi = bytes[at + k], lo = bytes[at + k + 1];
            m_bytes.push_back(static_cast<uint8_t>(shift ? (hi << shift) | (lo >> (8 - shift)) : hi));
        }
        m_bits += whole * 8;
        from += whole * 8;
        count -= whole * 8;
    }
    for (; count >= 32; from += 32, count -= 32)
        Put(BitsAt(bytes, from, 32), 32);
    Put(BitsAt(bytes, from, static_cast<unsigned>(count)), static_cast<unsigned>(count));
}

} // namespace lw
