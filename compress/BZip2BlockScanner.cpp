#include "compress/BZip2BlockScanner.h"

#include <array>

#include "compress/BZip2Format.h"

namespace lw {

namespace {

constexpr uint64_t kMask48 = (uint64_t{1} << bz::kMagicBits) - 1;

// For a magic starting at bit s of byte p, bytes p+1 and p+2 are fixed; these tables give,
// per byte value, the set of (magic, s) pairs it allows: bit s for the block magic, 8 + s
// for the end magic.
struct TPrefilter {
    std::array<uint16_t, 256> second{};
    std::array<uint16_t, 256> third{};
    constexpr TPrefilter()
    {
        for (unsigned s = 0; s < 8; ++s) {
            second[(bz::kBlockMagic >> (32 + s)) & 0xff] |= uint16_t(1u << s);
            third[(bz::kBlockMagic >> (24 + s)) & 0xff] |= uint16_t(1u << s);
            second[(bz::kEndMagic >> (32 + s)) & 0xff] |= uint16_t(1u << (8 + s));
            third[(bz::kEndMagic >> (24 + s)) & 0xff] |= uint16_t(1u << (8 + s));
        }
    }
};

constexpr TPrefilter kPrefilter;

} // namespace

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
            if ((cand >> s & 1u) && v == bz::kBlockMagic)
                marks.push_back({bit, false});
            else if ((cand >> (8 + s) & 1u) && v == bz::kEndMagic)
                marks.push_back({bit, true});
        }
    }
}

} // namespace lw
