#include <functional>
#include <gtest/gtest.h>

#include "BZip2Helpers.h"

using namespace lw;
using namespace bztest;

namespace {

class BZip2CompressReference : public ::testing::TestWithParam<NamedInput> {};

TEST_P(BZip2CompressReference, MatchesPythonAtLevel5AndDecompressesElsewhere)
{
    const Bytes& data = GetParam().data;
    const Bytes ours = Compress(data);
    ASSERT_GE(ours.size(), 4u);
    EXPECT_EQ(std::string(ours.begin(), ours.begin() + 4), "BZh5");
    EXPECT_TRUE(Same(ours, PyCompress(data, 5)));
    EXPECT_TRUE(Same(CommandDecompress(ours), data));
    EXPECT_TRUE(Same(PyDecompress(ours), data));
}

INSTANTIATE_TEST_SUITE_P(Inputs, BZip2CompressReference, ::testing::ValuesIn(Inputs()),
                         [](const auto& p) { return p.param.name; });

TEST(BZip2Compress, EmptyInputGivesTheMinimalStream)
{
    const Bytes ours = Compress({});
    ASSERT_EQ(ours.size(), 14u);
    EXPECT_EQ(std::string(ours.begin(), ours.begin() + 4), "BZh5");
    // End-of-stream marker, then a combined checksum of 0.
    EXPECT_EQ(lwtest::ToHex(Bytes(ours.begin() + 4, ours.end())), "17724538509000000000");
}

class BZip2CompressPieces : public ::testing::TestWithParam<size_t> {};

TEST_P(BZip2CompressPieces, OutputDoesNotDependOnWriteSizes)
{
    static const Bytes reference = PyCompress(MultiBlock(), 5);
    EXPECT_TRUE(Same(Compress(MultiBlock(), GetParam()), reference));
}

INSTANTIATE_TEST_SUITE_P(Sizes, BZip2CompressPieces, ::testing::Values(1, 7, 4096, 65535, 65536, 65537));

TEST(BZip2Compress, EveryBlockSizeChoiceMatchesTheLibraryLevel)
{
    const Bytes data = PseudoText(250000, 9);
    for (int i = 0; i < 9; ++i) {
        const Bytes ours = Compress(data, 0, static_cast<TBlockSize100k>(i));
        ASSERT_GT(ours.size(), 4u);
        EXPECT_EQ(ours[3], '1' + i);
        EXPECT_TRUE(Same(ours, PyCompress(data, i + 1))) << "choice " << i;
    }
}

TEST(BZip2Compress, OutOfRangeBlockSizeChoiceIsRefused)
{
    TMemoryStream dest;
    try {
        TBZCompressionStream bz(static_cast<TBlockSize100k>(9), dest);
        ADD_FAILURE() << "constructed";
    } catch (const EBZCompressionError& e) {
        EXPECT_STREQ(e.what(), "error -2");
    }
}

TEST(BZip2Compress, PositionCountsUncompressedBytes)
{
    TMemoryStream dest;
    TBZCompressionStream bz(TBlockSize100k::bs5, dest);
    EXPECT_EQ(bz.Position(), 0);
    int64_t total = 0;
    for (size_t n : {0, 1, 1000, 70000, 600000}) {
        const Bytes piece = lwtest::RandomBytes(n, static_cast<uint32_t>(n));
        EXPECT_EQ(bz.Write(piece), static_cast<int64_t>(n));
        total += static_cast<int64_t>(n);
        EXPECT_EQ(bz.Position(), total);
        EXPECT_EQ(bz.Seek(0, TSeekOrigin::soCurrent), total);
    }
    bz.Finish();
    EXPECT_EQ(bz.Position(), total);
}

TEST(BZip2Compress, RefusesEverythingButWritesAndThePositionQuery)
{
    TMemoryStream dest;
    TBZCompressionStream bz(TBlockSize100k::bs5, dest);
    Bytes buf(10);
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"read", [&] { bz.Read(buf); }},
        {"empty read", [&] { bz.Read({}); }},
        {"size", [&] { bz.Size(); }},
        {"set position 0", [&] { bz.SetPosition(0); }},
        {"seek 1 from current", [&] { bz.Seek(1, TSeekOrigin::soCurrent); }},
        {"seek -1 from current", [&] { bz.Seek(-1, TSeekOrigin::soCurrent); }},
        {"seek 0 from end", [&] { bz.Seek(0, TSeekOrigin::soEnd); }},
        {"seek 5 from beginning", [&] { bz.Seek(5, TSeekOrigin::soBeginning); }},
    };
    for (const auto& [name, op] : cases) {
        try {
            op();
            ADD_FAILURE() << name << " accepted";
        } catch (const EBZCompressionError& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation") << name;
        }
    }
    const Bytes text = PseudoText(3000, 4);
    bz.WriteBuffer(text);
    bz.Finish();
    EXPECT_TRUE(Same(PyDecompress(dest.Data()), text));
    EXPECT_THROW(bz.Write(buf), EBZCompressionError) << "write after Finish";
}

TEST(BZip2Compress, FinishIsIdempotent)
{
    TMemoryStream dest;
    TBZCompressionStream bz(TBlockSize100k::bs5, dest);
    bz.WriteBuffer(PseudoText(1000, 5));
    bz.Finish();
    const Bytes once = dest.Data();
    bz.Finish();
    EXPECT_EQ(dest.Data(), once);
}

// Compressed output reaches the destination where this stream left it, whoever moved it since.
TEST(BZip2Compress, PutsTheDestinationBackBeforeEachWriteAndTheFlush)
{
    const Bytes data = lwtest::RandomBytes(1100000, 6);
    TMemoryStream dest;
    dest.WriteBuffer(Bytes{'H', 'E', 'A', 'D'});
    {
        TBZCompressionStream bz(TBlockSize100k::bs5, dest);
        for (size_t at = 0; at < data.size(); at += 400000) {
            bz.WriteBuffer(std::span(data).subspan(at, std::min<size_t>(400000, data.size() - at)));
            dest.SetPosition(1);
        }
        bz.Finish();
    }
    Bytes want{'H', 'E', 'A', 'D'};
    const Bytes ref = PyCompress(data, 5);
    want.insert(want.end(), ref.begin(), ref.end());
    EXPECT_TRUE(Same(dest.Data(), want));
}

struct WriteFailure {
    const char* name;
    size_t capacity;
    size_t inputSize;
    bool inWrite; // else in Finish
};

void PrintTo(const WriteFailure& f, std::ostream* os)
{
    *os << f.name;
}

class BZip2CompressWriteFailure : public ::testing::TestWithParam<WriteFailure> {};

TEST_P(BZip2CompressWriteFailure, RaisesStreamWriteError)
{
    const auto& c = GetParam();
    TRefusingStream dest(c.capacity);
    const Bytes data = lwtest::RandomBytes(c.inputSize, 7);
    TBZCompressionStream bz(TBlockSize100k::bs5, dest);
    try {
        bz.WriteBuffer(data);
        EXPECT_FALSE(c.inWrite) << "write succeeded";
        bz.Finish();
        ADD_FAILURE() << "no failure";
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_EQ(dest.Taken(), c.capacity);
    // Once failed, finishing again does nothing and destruction stays quiet.
    if (!c.inWrite) {
        EXPECT_NO_THROW(bz.Finish());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BZip2CompressWriteFailure,
                         ::testing::Values(WriteFailure{"flush_refused", 0, 1000, false},
                                           WriteFailure{"flush_cut_short", 40, 1000, false},
                                           WriteFailure{"first_piece_refused", 0, 1100000, true},
                                           WriteFailure{"second_piece_refused", 100000, 1100000, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(BZip2Compress, DestructionWithoutFinishCompletesTheStream)
{
    for (const auto& in : Inputs()) {
        TMemoryStream dest;
        {
            TBZCompressionStream bz(TBlockSize100k::bs5, dest);
            bz.WriteBuffer(in.data);
        }
        EXPECT_TRUE(Same(dest.Data(), PyCompress(in.data, 5))) << in.name;
        EXPECT_TRUE(Same(PyDecompress(dest.Data()), in.data)) << in.name;
    }
}

TEST(BZip2Compress, DestructionOnRefusingDestinationIsQuiet)
{
    TRefusingStream dest(0);
    EXPECT_NO_THROW({
        TBZCompressionStream bz(TBlockSize100k::bs5, dest);
        bz.WriteBuffer(PseudoText(1000, 8));
    });
}

TEST(BZip2Compress, FailedCopyStillLeavesAValidStreamOfWhatWasWritten)
{
    const Bytes data = lwtest::RandomBytes(200000, 9);
    TMemoryStream src, dest;
    Fill(src, data);
    EXPECT_THROW(
        {
            TBZCompressionStream bz(TBlockSize100k::bs5, dest);
            bz.CopyFrom(src, 300000);
        },
        EReadError);
    const Bytes copied(data.begin(), data.begin() + 3 * TStream::kMaxCopyPiece);
    EXPECT_TRUE(Same(PyDecompress(dest.Data()), copied));
}

TEST(BZip2Compress, ProgressReportsTheStreamDuringWrites)
{
    TMemoryStream dest;
    TBZCompressionStream bz(TBlockSize100k::bs5, dest);
    int calls = 0;
    bz.OnProgress = [&](TCustomBZip2Stream& s) {
        EXPECT_EQ(&s, &bz);
        ++calls;
    };
    EXPECT_EQ(bz.Write({}), 0);
    EXPECT_EQ(calls, 0);
    bz.WriteBuffer(Bytes{'x'});
    EXPECT_EQ(calls, 1);
    bz.WriteBuffer(lwtest::RandomBytes(700000, 10));
    EXPECT_GT(calls, 1);
    const int beforeFinish = calls;
    bz.Finish();
    EXPECT_EQ(calls, beforeFinish);
}

} // namespace
