// The format pieces shared by the parallel paths: bits written at any offset read back the
// same, and a bridged fresh stream passes the library's whole-stream checksum.
#include <gtest/gtest.h>

#include <bzlib.h>

#include "BZip2Helpers.h"
#include "compress/BZip2BlockScanner.h"
#include "compress/BZip2Bridge.h"
#include "compress/BZip2Format.h"

using namespace lw;
using namespace bztest;

namespace {

// Odd widths, whole words and pieces copied from odd offsets, so fields straddle bytes and
// the reader's 64-bit loads; read back by the reader and by PeekBits.
TEST(BZip2Format, BitsReadBackAsWritten)
{
    const Bytes source = lwtest::RandomBytes(40, 7);
    for (unsigned lead : {0u, 1u, 5u, 7u, 8u, 13u, 61u}) {
        for (uint64_t from : {0u, 1u, 3u, 7u, 9u}) {
            bz::TBitWriter w;
            w.Put(0x5a5a5a5a5a5a5au >> (56 - std::min(lead, 56u)), std::min(lead, 56u));
            w.Put(0, lead - std::min(lead, 56u));
            std::vector<std::pair<uint64_t, unsigned>> fields; // value, width
            for (unsigned width : {1u, 3u, 7u, 13u, 17u, 31u, 32u, 48u, 56u, 2u, 9u}) {
                const uint64_t value = 0x9e3779b97f4a7c15u * (width + from) >> (64 - width);
                w.Put(value, width);
                fields.push_back({value, width});
            }
            const uint64_t copied = w.BitCount();
            w.PutBits(source, from, 8 * 30 + 5);
            w.Put(1, 1);
            w.Pad();
            const Bytes& out = w.Bytes();
            ASSERT_EQ(out.size(), (copied + 8 * 30 + 5 + 1 + 7) / 8);

            bz::TBitReader r(out, lead);
            uint64_t at = lead;
            for (const auto& [value, width] : fields) {
                EXPECT_EQ(bz::PeekBits(out, at, width), value) << lead << " " << from << " " << width;
                const uint64_t got = width > 32 ? uint64_t{r.Get(width - 32)} << 32 | r.Get(32) : r.Get(width);
                EXPECT_EQ(got, value) << lead << " " << from << " " << width;
                at += width;
                EXPECT_EQ(r.Position(), at);
            }
            for (uint64_t i = 0; i < 8 * 30 + 5; i += 32) {
                const auto n = static_cast<unsigned>(std::min<uint64_t>(32, 8 * 30 + 5 - i));
                EXPECT_EQ(r.Get(n), bz::PeekBits(source, from + i, n)) << lead << " " << from << " " << i;
            }
            EXPECT_EQ(r.Get(1), 1u);
            EXPECT_EQ(r.Get(32), 0u) << "past the end reads zeros";
        }
    }
}

struct TStreamBlocks {
    std::vector<TBZBlockMark> marks; // each block's, then the end's
    std::vector<uint32_t> crcs;
};

TStreamBlocks BlocksOf(const Bytes& stream)
{
    TStreamBlocks s;
    FindBlockMarks(stream, 0, 0, stream.size(), s.marks);
    for (const TBZBlockMark& m : s.marks)
        s.crcs.push_back(static_cast<uint32_t>(bz::PeekBits(stream, static_cast<uint64_t>(m.bit) + 48, 32)));
    return s;
}

// Python's streams of 1 to 5 blocks: the block checksums combine to the stream's, and a fresh
// stream bridged in at each block (or at the end) is accepted whole by the library and gives
// the rest of the data after the bridge's own bytes. A wrong combined checksum is refused.
TEST(BZip2Format, BridgedStreamPassesTheLibrarysStreamChecksum)
{
    for (size_t blocks : {1u, 2u, 3u, 5u}) {
        const Bytes data = lwtest::RandomBytes(blocks * 100000 - 60000, static_cast<uint32_t>(blocks));
        const Bytes stream = PyCompress(data, 1);
        const TStreamBlocks s = BlocksOf(stream);
        ASSERT_EQ(s.marks.size(), blocks + 1);
        ASSERT_TRUE(s.marks.back().end);
        uint32_t combined = 0;
        for (size_t i = 0; i < blocks; ++i)
            combined = bz::CombineCrc(combined, s.crcs[i]);
        EXPECT_EQ(combined, s.crcs.back()) << blocks;

        combined = 0;
        for (size_t i = 0; i <= blocks; ++i) {
            if (i > 0) {
                const auto bit = static_cast<uint64_t>(s.marks[i].bit);
                for (uint32_t flip : {0u, 1u}) {
                    const bz::TBridge bridge = bz::BridgeTo(combined ^ flip, 1, bit, stream[bit / 8]);
                    Bytes in = bridge.bytes;
                    in.insert(in.end(), stream.begin() + static_cast<ptrdiff_t>((bit + 7) / 8), stream.end());
                    Bytes out(data.size() + 64);
                    auto size = static_cast<unsigned>(out.size());
                    const int rc = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &size,
                                                              reinterpret_cast<char*>(in.data()),
                                                              static_cast<unsigned>(in.size()), 0, 0);
                    const std::string what = std::to_string(blocks) + " blocks, at " + std::to_string(i);
                    if (flip != 0) {
                        EXPECT_EQ(rc, BZ_DATA_ERROR) << what;
                        continue;
                    }
                    ASSERT_EQ(rc, BZ_OK) << what;
                    ASSERT_GE(size, bridge.skip) << what;
                    const size_t rest = size - bridge.skip;
                    EXPECT_EQ(rest == 0, i == blocks) << what;
                    EXPECT_TRUE(Same(Bytes(out.begin() + static_cast<ptrdiff_t>(bridge.skip), out.begin() + size),
                                     Bytes(data.end() - static_cast<ptrdiff_t>(rest), data.end())))
                        << what;
                }
            }
            if (i < blocks)
                combined = bz::CombineCrc(combined, s.crcs[i]);
        }
    }
}

} // namespace
