// One bzip2 block through our decoder and through the library, as the only block of a stream:
// whenever ours succeeds the library must give the same bytes. Layout of an input:
//   flags (bits 0-3: level; bit 4: the payload is the block's bits after its magic, not
//   data to compress; bit 5: set the block's checksum to what the library made of it),
//   end shift (signed: bits added to or taken from the block's end), flip count and
//   3 bytes per flip (16-bit bit offset into the block, bit 0-7 of a second flip), payload.
#include <bzlib.h>
#include <cstring>

#include "FuzzUtil.h"
#include "compress/BZip2BlockDecoder.h"
#include "compress/BZip2BlockScanner.h"
#include "compress/BZip2Bridge.h"
#include "compress/BZip2Format.h"

namespace {

using lwfuzz::Bytes;

constexpr size_t kCap = 1 << 22;

struct TLib {
    bool ok = false;
    Bytes out;
};

// The library on bits [start, end) of `bits` as the only block of a stream.
TLib LibBlock(const Bytes& bits, uint64_t start, uint64_t end, int level)
{
    Bytes in;
    lw::bz::WrapBlock(bits, start, end, level, in);
    TLib r;
    r.out.resize(kCap + 1);
    bz_stream z{};
    FUZZ_CHECK(BZ2_bzDecompressInit(&z, 0, 0) == BZ_OK);
    z.next_in = reinterpret_cast<char*>(in.data());
    z.avail_in = static_cast<unsigned>(in.size());
    z.next_out = reinterpret_cast<char*>(r.out.data());
    z.avail_out = static_cast<unsigned>(r.out.size());
    int rc = BZ_OK;
    while (rc == BZ_OK && z.avail_out > 0 && z.avail_in > 0)
        rc = BZ2_bzDecompress(&z);
    r.ok = rc == BZ_STREAM_END && z.avail_in == 0;
    r.out.resize(r.out.size() - z.avail_out);
    BZ2_bzDecompressEnd(&z);
    return r;
}

void Flip(Bytes& b, uint64_t bit)
{
    if (bit / 8 < b.size())
        b[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
}

void PutBits(Bytes& b, uint64_t at, uint64_t value, unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        if (((lw::bz::PeekBits(b, at + i, 1) ^ (value >> (count - 1 - i))) & 1u) != 0)
            Flip(b, at + i);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const auto shift = static_cast<int8_t>(data[1]);
    const unsigned flips = data[2] % 6;
    size_t at = 3;
    std::vector<std::pair<unsigned, uint8_t>> flipList;
    for (unsigned i = 0; i < flips && at + 3 <= size; ++i, at += 3)
        flipList.push_back({data[at] | unsigned(data[at + 1]) << 8, data[at + 2]});
    const Bytes payload(data + at, data + size);
    const int level = flags % 9 + 1;

    Bytes stream;
    uint64_t start = 0, end = 0;
    if (flags & 0x10) {
        // Arbitrary block contents after a real magic.
        lw::bz::TBitWriter sink;
        sink.Put(lw::bz::StreamHeader(level), lw::bz::kHeaderBits);
        sink.Put(lw::bz::kBlockMagic, lw::bz::kMagicBits);
        for (uint8_t b : payload)
            sink.Put(b, 8);
        stream = sink.Bytes();
        start = 32;
        end = stream.size() * 8;
    } else {
        stream.resize(payload.size() + payload.size() / 50 + 700);
        auto length = static_cast<unsigned>(stream.size());
        char none = 0;
        FUZZ_CHECK(BZ2_bzBuffToBuffCompress(
                       reinterpret_cast<char*>(stream.data()), &length,
                       payload.empty() ? &none : reinterpret_cast<char*>(const_cast<uint8_t*>(payload.data())),
                       static_cast<unsigned>(payload.size()), level, 0, 0) == BZ_OK);
        stream.resize(length);
        std::vector<lw::TBZBlockMark> marks;
        lw::FindBlockMarks(stream, 0, 0, stream.size(), marks);
        if (marks.size() < 2)
            return 0; // no block: empty data
        start = static_cast<uint64_t>(marks[0].bit);
        end = static_cast<uint64_t>(marks[1].bit);
    }
    const uint64_t blockBits = end - start;
    for (const auto& [offset, second] : flipList) {
        Flip(stream, start + offset % blockBits);
        if (second & 0x80)
            Flip(stream, start + (offset + 1 + (second & 0x7f)) % blockBits);
    }
    const bool plain = flipList.empty() && shift == 0 && !(flags & 0x30);
    if (shift < 0 && static_cast<uint64_t>(-shift) < blockBits)
        end -= static_cast<uint64_t>(-shift);
    else if (shift > 0)
        end = std::min<uint64_t>(end + static_cast<uint64_t>(shift), stream.size() * 8);
    if (end < start + 80)
        return 0;
    if (flags & 0x20) {
        // Whatever the library decoded, given the checksum that makes it right.
        const TLib first = LibBlock(stream, start, end, level);
        PutBits(stream, start + 48, lw::bz::BlockCrc(first.out), 32);
    }

    static lw::TBZBlockDecoder decoder; // kept, as the workers keep theirs
    static Bytes out(kCap);
    size_t produced = 0;
    bool ok = decoder.Read(stream, start, end, level);
    if (ok) {
        const size_t room = flags & 0x40 ? 1000 : kCap;
        lw::TBZBlockResult r = decoder.Write(std::span(out).first(room), produced);
        if (r == lw::TBZBlockResult::outputFull)
            r = decoder.Write(out, produced);
        ok = r == lw::TBZBlockResult::ok;
    }
    if (plain) {
        FUZZ_CHECK(ok);
        FUZZ_CHECK(produced <= payload.size() && std::memcmp(out.data(), payload.data(), produced) == 0);
    }
    if (ok) {
        const TLib lib = LibBlock(stream, start, end, level);
        FUZZ_CHECK(lib.ok);
        FUZZ_CHECK(lib.out.size() == produced && std::memcmp(lib.out.data(), out.data(), produced) == 0);
        FUZZ_CHECK(decoder.Crc() == lw::bz::BlockCrc(std::span(out).first(produced)));
    }
    return 0;
}
