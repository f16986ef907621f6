#include "compress/BZip2Bridge.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include <bzlib.h>

#include "compress/BZip2Format.h"

namespace lw::bz {

namespace {

// Sets the last four bytes of `content` so that its checksum is `want` (the checksum is affine
// in them, and invertible).
void ForceCrc(std::vector<uint8_t>& content, uint32_t want)
{
    const size_t at = content.size() - 4;
    std::fill(content.begin() + static_cast<ptrdiff_t>(at), content.end(), 0);
    const uint32_t base = BlockCrc(content);
    std::array<uint32_t, 32> rows{}; // row r: which unknown bits flip checksum bit r
    for (unsigned k = 0; k < 32; ++k) {
        content[at + k / 8] = static_cast<uint8_t>(0x80u >> (k % 8));
        const uint32_t col = BlockCrc(content) ^ base;
        content[at + k / 8] = 0;
        for (unsigned r = 0; r < 32; ++r)
            if (col >> r & 1u)
                rows[r] |= 1u << k;
    }
    uint32_t rhs = want ^ base;
    for (unsigned k = 0; k < 32; ++k) {
        unsigned p = k;
        while (p < 32 && !(rows[p] >> k & 1u))
            ++p;
        if (p == 32)
            throw std::logic_error("checksum not reachable");
        std::swap(rows[p], rows[k]);
        const uint32_t bp = rhs >> p & 1u, bk = rhs >> k & 1u;
        rhs = (rhs & ~((1u << p) | (1u << k))) | (bp << k) | (bk << p);
        for (unsigned r = 0; r < 32; ++r)
            if (r != k && (rows[r] >> k & 1u)) {
                rows[r] ^= rows[k];
                rhs ^= (rhs >> k & 1u) << r;
            }
    }
    for (unsigned k = 0; k < 32; ++k)
        if (rhs >> k & 1u)
            content[at + k / 8] |= static_cast<uint8_t>(0x80u >> (k % 8));
}

// A one-block stream whose block has checksum `crc` and a length in bits of `residue` modulo 8.
struct TSmallBlock {
    std::vector<uint8_t> stream;
    uint64_t blockBits = 0; // its block: the bits after the header
    size_t contentSize = 0;
};

TSmallBlock MakeSmallBlock(uint32_t crc, unsigned residue)
{
    TSmallBlock b;
    // Ten bytes: with six, some lengths modulo 8 come up once in thousands of tries.
    std::vector<uint8_t> content(10);
    for (unsigned lead = 0; lead < 65536; ++lead) {
        uint32_t mix = (lead + 1) * 0x9e3779b1u;
        for (size_t i = 0; i < 6; ++i, mix = mix * 0x01000193u + 0x7f)
            content[i] = static_cast<uint8_t>(mix >> 24);
        ForceCrc(content, crc);
        b.stream.assign(256, 0);
        unsigned size = 256;
        if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(b.stream.data()), &size,
                                     reinterpret_cast<char*>(content.data()), static_cast<unsigned>(content.size()), 1,
                                     0, 0) != BZ_OK)
            throw std::bad_alloc();
        const uint64_t total = uint64_t{size} * 8;
        for (uint64_t p = total - 80; p + 87 >= total && p > kHeaderBits; --p) {
            if (PeekBits(b.stream, p, kMagicBits) != kEndMagic || PeekBits(b.stream, p + kMagicBits, kCrcBits) != crc)
                continue;
            if ((p - kHeaderBits) % 8 == residue) {
                b.stream.resize(size);
                b.blockBits = p - kHeaderBits;
                b.contentSize = content.size();
                return b;
            }
            break;
        }
    }
    throw std::logic_error("no bridge block");
}

} // namespace

uint32_t WrapBlock(std::span<const uint8_t> raw, uint64_t startBit, uint64_t endBit, int level,
                   std::vector<uint8_t>& out)
{
    TBitWriter w;
    w.Bytes() = std::move(out);
    w.Bytes().clear();
    w.Bytes().reserve(static_cast<size_t>((endBit - startBit) / 8 + 32));
    w.Put(StreamHeader(level), kHeaderBits);
    w.PutBits(raw, startBit, endBit - startBit);
    const auto crc = static_cast<uint32_t>(PeekBits(raw, startBit + kMagicBits, kCrcBits));
    w.Put(kEndMagic, kMagicBits);
    w.Put(crc, kCrcBits);
    w.Pad();
    out = std::move(w.Bytes());
    return crc;
}

TBridge BridgeTo(uint32_t crc, int level, uint64_t bit, uint8_t partial)
{
    const auto used = static_cast<unsigned>(bit % 8);
    const TSmallBlock small = MakeSmallBlock(crc, used);
    TBitWriter w;
    w.Put(StreamHeader(level), kHeaderBits);
    w.PutBits(small.stream, kHeaderBits, small.blockBits);
    if (used != 0)
        w.Put(partial & (0xffu >> used), 8 - used);
    return {std::move(w.Bytes()), small.contentSize};
}

} // namespace lw::bz
