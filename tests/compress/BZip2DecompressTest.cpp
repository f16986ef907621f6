#include <functional>
#include <gtest/gtest.h>

#include "BZip2Helpers.h"

using namespace lw;
using namespace bztest;

namespace {

const Bytes& MultiBlockStream()
{
    static const Bytes stream = PyCompress(MultiBlock(), 5);
    return stream;
}

class BZip2RoundTrip : public ::testing::TestWithParam<NamedInput> {};

TEST_P(BZip2RoundTrip, DeliversWhatWasCompressed)
{
    EXPECT_TRUE(Same(Decompress(Compress(GetParam().data)), GetParam().data));
}

INSTANTIATE_TEST_SUITE_P(Inputs, BZip2RoundTrip, ::testing::ValuesIn(Inputs()),
                         [](const auto& p) { return p.param.name; });

TEST(BZip2Decompress, StandardStreamsOfBlockSizes1And9)
{
    for (const Bytes* data : {&MultiBlock(), &Inputs()[4].data}) {
        for (int level : {1, 9}) {
            for (const Bytes& stream : {PyCompress(*data, level), CommandCompress(*data, level)}) {
                ASSERT_GT(stream.size(), 4u);
                EXPECT_EQ(stream[3], '0' + level);
                EXPECT_TRUE(Same(Decompress(stream), *data)) << "level " << level;
            }
        }
    }
}

TEST(BZip2Decompress, MinimalStreamDeliversNothing)
{
    TMemoryStream src;
    Fill(src, PyCompress({}, 5));
    ASSERT_EQ(src.Size(), 14);
    TBZDecompressionStream bz(src);
    Bytes buf(4096);
    EXPECT_EQ(bz.Read(buf), 0);
    EXPECT_EQ(bz.Read(buf), 0);
    EXPECT_EQ(bz.Position(), 0);
}

class BZip2ReadSizes : public ::testing::TestWithParam<size_t> {};

TEST_P(BZip2ReadSizes, PiecesJoinUpAndPositionFollows)
{
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    Bytes out, buf(GetParam());
    for (int64_t n; (n = bz.Read(buf)) > 0;) {
        ASSERT_LE(n, static_cast<int64_t>(buf.size()));
        out.insert(out.end(), buf.begin(), buf.begin() + n);
        ASSERT_EQ(bz.Position(), static_cast<int64_t>(out.size()));
    }
    EXPECT_TRUE(Same(out, MultiBlock()));
    EXPECT_EQ(bz.Read(buf), 0);
    EXPECT_EQ(bz.Read({}), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BZip2ReadSizes, ::testing::Values(1, 3, 4095, 4097, 65537, 1000003));

struct Skip {
    const char* name;
    int64_t readFirst;
    int64_t offset;
    TSeekOrigin origin;
    int64_t target;
};

void PrintTo(const Skip& s, std::ostream* os)
{
    *os << s.name;
}

class BZip2SeekForward : public ::testing::TestWithParam<Skip> {};

TEST_P(BZip2SeekForward, EqualsReadingAndDiscarding)
{
    const auto& c = GetParam();
    const Bytes& data = MultiBlock();
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    Bytes first(static_cast<size_t>(c.readFirst));
    bz.ReadBuffer(first);
    EXPECT_EQ(bz.Seek(c.offset, c.origin), c.target);
    EXPECT_EQ(bz.Position(), c.target);
    Bytes rest(data.size() - static_cast<size_t>(c.target));
    bz.ReadBuffer(rest);
    EXPECT_TRUE(Same(rest, Bytes(data.begin() + c.target, data.end())));
    EXPECT_EQ(bz.Read(first), 0);
}

const int64_t kMultiSize = 1200000;

INSTANTIATE_TEST_SUITE_P(Cases, BZip2SeekForward,
                         ::testing::Values(Skip{"current_0", 1000, 0, TSeekOrigin::soCurrent, 1000},
                                           Skip{"current_1", 1000, 1, TSeekOrigin::soCurrent, 1001},
                                           Skip{"current_4096", 0, 4096, TSeekOrigin::soCurrent, 4096},
                                           Skip{"current_pieces", 5, 4096 * 100 + 17, TSeekOrigin::soCurrent, 409622},
                                           Skip{"beginning_ahead", 1000, 500000, TSeekOrigin::soBeginning, 500000},
                                           Skip{"beginning_1", 0, 1, TSeekOrigin::soBeginning, 1},
                                           Skip{"across_blocks", 10, 700001, TSeekOrigin::soBeginning, 700001},
                                           Skip{"to_the_end", 3, kMultiSize, TSeekOrigin::soBeginning, kMultiSize}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(BZip2Decompress, SeekPastTheEndRaisesStreamReadError)
{
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    try {
        bz.Seek(kMultiSize + 1, TSeekOrigin::soBeginning);
        ADD_FAILURE() << "seek past the end accepted";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(BZip2Decompress, RefusesWritesSizeAndBackwardSeeks)
{
    const Bytes& data = MultiBlock();
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    Bytes buf(1000);
    bz.ReadBuffer(buf);
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"write", [&] { bz.Write(buf); }},
        {"empty write", [&] { bz.Write({}); }},
        {"size", [&] { bz.Size(); }},
        {"seek to the current position from beginning", [&] { bz.Seek(1000, TSeekOrigin::soBeginning); }},
        {"seek back from beginning", [&] { bz.Seek(999, TSeekOrigin::soBeginning); }},
        {"seek -1 from beginning", [&] { bz.Seek(-1, TSeekOrigin::soBeginning); }},
        {"seek -1 from current", [&] { bz.Seek(-1, TSeekOrigin::soCurrent); }},
        {"seek 0 from end", [&] { bz.Seek(0, TSeekOrigin::soEnd); }},
        {"seek -5 from end", [&] { bz.Seek(-5, TSeekOrigin::soEnd); }},
    };
    for (const auto& [name, op] : cases) {
        try {
            op();
            ADD_FAILURE() << name << " accepted";
        } catch (const EBZDecompressionError& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation") << name;
        }
    }
    EXPECT_EQ(bz.Position(), 1000);
    bz.ReadBuffer(buf);
    EXPECT_TRUE(Same(buf, Bytes(data.begin() + 1000, data.begin() + 2000)));
}

TEST(BZip2Decompress, SeekToZeroFromBeginningRestarts)
{
    const Bytes& data = MultiBlock();
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    EXPECT_EQ(bz.Seek(0, TSeekOrigin::soBeginning), 0);
    Bytes all(data.size()), buf(4096);
    bz.ReadBuffer(all);
    EXPECT_EQ(bz.Read(buf), 0);
    src.SetPosition(77); // moved by someone else; the rewind ignores it
    EXPECT_EQ(bz.Seek(0, TSeekOrigin::soBeginning), 0);
    EXPECT_EQ(bz.Position(), 0);
    Bytes head(300000);
    bz.ReadBuffer(head);
    EXPECT_TRUE(Same(head, Bytes(data.begin(), data.begin() + 300000)));
    EXPECT_EQ(bz.Seek(0, TSeekOrigin::soBeginning), 0);
    bz.ReadBuffer(all);
    EXPECT_TRUE(Same(all, data));
    EXPECT_EQ(bz.Read(buf), 0);
}

TEST(BZip2Decompress, StartsWhereTheSourceStandsAndRewindsToItsStart)
{
    const Bytes data = PseudoText(20000, 11);
    TMemoryStream src;
    src.WriteBuffer(Bytes{'J', 'U', 'N', 'K'});
    src.WriteBuffer(PyCompress(data, 5));
    src.SetPosition(4);
    TBZDecompressionStream bz(src);
    EXPECT_EQ(src.Position(), 4) << "construction reads nothing";
    Bytes out(data.size());
    bz.ReadBuffer(out);
    EXPECT_TRUE(Same(out, data));
    // A rewind goes to position 0 of the source, where the signature is missing.
    bz.Seek(0, TSeekOrigin::soBeginning);
    try {
        bz.Read(out);
        ADD_FAILURE() << "read the prefix as bzip2 data";
    } catch (const EBZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "error -5");
    }
}

TEST(BZip2Decompress, PutsTheSourceBackBeforeEachRead)
{
    const Bytes& data = MultiBlock();
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    Bytes out, buf(100000);
    for (int64_t n; (n = bz.Read(buf)) > 0;) {
        out.insert(out.end(), buf.begin(), buf.begin() + n);
        src.SetPosition(3);
    }
    EXPECT_TRUE(Same(out, data));
}

TEST(BZip2Decompress, ProgressReportsTheStreamDuringReads)
{
    TMemoryStream src;
    Fill(src, MultiBlockStream());
    TBZDecompressionStream bz(src);
    int calls = 0;
    bz.OnProgress = [&](TCustomBZip2Stream& s) {
        EXPECT_EQ(&s, &bz);
        ++calls;
    };
    EXPECT_EQ(bz.Read({}), 0);
    EXPECT_EQ(calls, 0);
    Bytes buf(4096);
    bz.ReadBuffer(buf);
    EXPECT_GT(calls, 0);
}

Bytes FlipBit(Bytes data, size_t at)
{
    data.at(at) ^= 0x10;
    return data;
}

Bytes Cut(const Bytes& data, size_t size)
{
    return Bytes(data.begin(), data.begin() + size);
}

Bytes Join(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Each damaged stream is made when its test runs: made at registration, the reference
// compression cost every test process of this program its time before any test ran.
struct Damage {
    std::string name;
    std::function<Bytes()> make;
    const char* message;
};

void PrintTo(const Damage& d, std::ostream* os)
{
    *os << d.name;
}

const Bytes& SmallStream()
{
    static const Bytes stream = PyCompress(Inputs()[2].data, 5);
    return stream;
}

std::vector<Damage> Damages()
{
    using TMake = std::function<Bytes()>;
    auto multi = [](const std::function<Bytes(const Bytes&)>& damage) -> TMake {
        return [damage] { return damage(MultiBlockStream()); };
    };
    auto small = [](const std::function<Bytes(const Bytes&)>& damage) -> TMake {
        return [damage] { return damage(SmallStream()); };
    };
    auto flip = [](size_t fromEnd, size_t fromStart) {
        return [=](const Bytes& s) { return FlipBit(s, fromEnd ? s.size() - fromEnd : fromStart); };
    };
    std::vector<Damage> d = {
        {"text", [] { return Bytes{'n', 'o', 't', ' ', 'b', 'z', 'i', 'p', '2', ' ', 'd', 'a', 't', 'a'}; },
         "error -5"},
        {"random", [] { return lwtest::RandomBytes(5000, 12); }, "error -5"},
        {"block_size_digit_0", small([](const Bytes& s) {
             return Join(Bytes{'B', 'Z', 'h', '0'}, Cut(s, 14));
         }),
         "error -5"},
        {"gzip_header", [] { return lwtest::FromHex("1f8b0800000000000003"); }, "error -5"},
        {"garbage_after_signature", small([](const Bytes& s) { return Join(Cut(s, 4), lwtest::RandomBytes(100, 13)); }),
         "error -4"},
        {"flip_first_block", multi(flip(0, 20)), "error -4"},
        {"flip_middle", multi([](const Bytes& s) { return FlipBit(s, s.size() / 2); }), "error -4"},
        {"flip_last_block", multi(flip(30, 0)), "error -4"},
        {"flip_stream_checksum", multi(flip(3, 0)), "error -4"},
        {"trailing_byte", small([](const Bytes& s) { return Join(s, Bytes{'x'}); }), "error -1"},
        {"trailing_stream", small([](const Bytes& s) { return Join(s, s); }), "error -1"},
        {"trailing_after_multi_block", multi([](const Bytes& s) { return Join(s, Bytes(100, 0)); }), "error -1"},
    };
    // Where the multi-block stream is cut: from its start, at a share of it, or from its end.
    const struct {
        const char* name;
        size_t at, quarters, fromEnd;
    } cuts[] = {{"0", 0, 0, 0},
                {"1", 1, 0, 0},
                {"3", 3, 0, 0},
                {"4", 4, 0, 0},
                {"5", 5, 0, 0},
                {"14", 14, 0, 0},
                {"quarter", 0, 1, 0},
                {"half", 0, 2, 0},
                {"end_less_11", 0, 0, 11},
                {"end_less_10", 0, 0, 10},
                {"end_less_1", 0, 0, 1}};
    for (const auto& c : cuts)
        d.push_back(
            {std::string("cut_multi_") + c.name, multi([c](const Bytes& s) {
                 return Cut(s, c.fromEnd ? s.size() - c.fromEnd : c.quarters ? s.size() * c.quarters / 4 : c.at);
             }),
             "error -7"});
    for (size_t cut : {size_t{4}, size_t{10}})
        d.push_back(
            {"cut_small_" + std::to_string(cut), small([cut](const Bytes& s) { return Cut(s, cut); }), "error -7"});
    d.push_back({"cut_small_end_less_1", small([](const Bytes& s) { return Cut(s, s.size() - 1); }), "error -7"});
    d.push_back({"cut_minimal_13", [] { return Cut(PyCompress({}, 5), 13); }, "error -7"});
    return d;
}

class BZip2Damaged : public ::testing::TestWithParam<Damage> {};

TEST_P(BZip2Damaged, RaisesTheLibraryCode)
{
    EXPECT_EQ(DecompressError(GetParam().make()), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Cases, BZip2Damaged, ::testing::ValuesIn(Damages()),
                         [](const auto& p) { return p.param.name; });

TEST(BZip2Decompress, NonBzip2DataFailsOnTheFirstRead)
{
    TMemoryStream src;
    Fill(src, lwtest::RandomBytes(1000, 14));
    TBZDecompressionStream bz(src);
    Bytes buf(1);
    try {
        bz.Read(buf);
        ADD_FAILURE() << "first read succeeded";
    } catch (const EBZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "error -5");
    }
}

TEST(BZip2Decompress, TrailingBytesFailTheReadThatReachesThem)
{
    const Bytes data = PseudoText(10000, 15);
    TMemoryStream src;
    Fill(src, Join(PyCompress(data, 5), Bytes{'J', 'U', 'N', 'K'}));
    TBZDecompressionStream bz(src);
    Bytes out(data.size());
    EXPECT_EQ(bz.Read(out), static_cast<int64_t>(data.size()));
    EXPECT_TRUE(Same(out, data));
    try {
        bz.Read(out);
        ADD_FAILURE() << "trailing bytes accepted";
    } catch (const EBZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "error -1");
    }
}

TEST(BZip2Decompress, TruncationAfterCompleteBlocksStillRaises)
{
    // The first read delivers data from the complete first block before the source runs out.
    const Bytes& stream = MultiBlockStream();
    TMemoryStream src;
    Fill(src, Cut(stream, stream.size() * 2 / 3));
    TBZDecompressionStream bz(src);
    Bytes buf(4096);
    EXPECT_EQ(bz.Read(buf), 4096);
    EXPECT_TRUE(Same(buf, Cut(MultiBlock(), 4096)));
    EXPECT_EQ(DecompressError(Cut(stream, stream.size() * 2 / 3)), "error -7");
}

TEST(BZip2Decompress, PositionsPassFourGiB)
{
    // zeros-4gib.bz2 is `head -c 4294979641 /dev/zero | bzip2 -9`.
    constexpr int64_t kSize = (int64_t{1} << 32) + 12345;
    TMemoryStream src;
    Fill(src, lwtest::ReadFile(LOCKWELL_TEST_DATA_DIR "/bzip2/zeros-4gib.bz2"));
    ASSERT_GT(src.Size(), 0);
    TBZDecompressionStream bz(src);
    Bytes buf(1000, 0xAA);
    bz.ReadBuffer(buf);
    EXPECT_EQ(std::count(buf.begin(), buf.end(), 0), 1000);
    EXPECT_EQ(bz.Seek(kSize - 5000, TSeekOrigin::soBeginning), kSize - 5000);
    EXPECT_EQ(bz.Position(), kSize - 5000);
    int64_t rest = 0;
    buf.assign(65536, 0xAA);
    for (int64_t n; (n = bz.Read(buf)) > 0;) {
        EXPECT_EQ(std::count(buf.begin(), buf.begin() + n, 0), n);
        rest += n;
    }
    EXPECT_EQ(rest, 5000);
    EXPECT_EQ(bz.Position(), kSize);
}

} // namespace
