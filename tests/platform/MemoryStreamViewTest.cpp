// A memory stream's views against Read and Write on a twin stream: same counts, bytes,
// positions, growth and errors.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "TestUtil.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct Case {
    size_t size;
    int64_t pos;
    size_t n;
};

void Fill(TMemoryStream& s, const Case& c)
{
    s.Write(lwtest::RandomBytes(c.size, 21));
    s.SetPosition(c.pos);
}

std::string Name(const Case& c)
{
    return "size " + std::to_string(c.size) + " pos " + std::to_string(c.pos) + " n " + std::to_string(c.n);
}

} // namespace

TEST(MemoryStreamViews, ReadViewDeliversWhatReadDelivers)
{
    const Case cases[] = {
        {10, 0, 4},  // inside
        {10, 8, 4},  // runs into the end: the two that are there
        {10, 10, 4}, // at the end
        {10, 15, 4}, // past the end
        {10, -3, 4}, // before the start: nothing there
        {10, 2, 0},  {0, 0, 5}, {10, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Name(c));
        TMemoryStream a, b;
        Fill(a, c);
        Fill(b, c);
        Bytes buffer(c.n, 0xEE);
        const int64_t got = a.Read(buffer);
        const auto view = b.ReadView(c.n);
        ASSERT_TRUE(view.has_value());
        ASSERT_EQ(static_cast<int64_t>(view->size()), got);
        EXPECT_EQ(Bytes(view->begin(), view->end()), Bytes(buffer.begin(), buffer.begin() + got));
        if (got > 0) { // the stream's own bytes, not a copy
            EXPECT_EQ(view->data(), b.Data().data() + c.pos);
        }
        EXPECT_EQ(b.Position(), a.Position());
        EXPECT_EQ(b.Position(), c.pos + got);
        EXPECT_EQ(b.Data(), a.Data());
    }
}

TEST(MemoryStreamViews, WriteViewGrowsAndRaisesAsWriteBufferDoes)
{
    const Case cases[] = {
        {10, 0, 4},                      // overwrite inside
        {10, 8, 4},                      // overwrite two, grow by two
        {10, 10, 4},                     // append
        {10, 15, 4},                     // the gap fills with zeros
        {0, 0, 9000}, {10, -1, 4},       // before the start: "Stream write error"
        {10, -1, 0},                     // nothing to write is no failure anywhere
        {10, 4, 0},   {10, kMax - 2, 5}, // past the last position a stream can count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Name(c));
        TMemoryStream a, b;
        Fill(a, c);
        Fill(b, c);
        const Bytes bytes(c.n, 0xA5);
        bool writeRaised = false;
        try {
            a.WriteBuffer(bytes);
        } catch (const EWriteError&) {
            writeRaised = true;
        }
        bool viewRaised = false;
        try {
            const auto view = b.WriteView(c.n);
            ASSERT_TRUE(view.has_value());
            ASSERT_EQ(view->size(), c.n);
            if (!view->empty())
                std::memset(view->data(), 0xA5, view->size());
        } catch (const EWriteError& e) {
            viewRaised = true;
            EXPECT_STREQ(e.what(), "Stream write error");
        }
        EXPECT_EQ(viewRaised, writeRaised);
        EXPECT_EQ(viewRaised, c.n > 0 && (c.pos < 0 || c.pos > kMax - 10));
        EXPECT_EQ(b.Position(), a.Position());
        EXPECT_EQ(b.Data(), a.Data());
    }
    TMemoryStream s; // a gap before the room reads as zeros
    s.SetPosition(3);
    s.WriteView(2).value()[1] = 7;
    EXPECT_EQ(s.Data(), (Bytes{0, 0, 0, 0, 7}));
    EXPECT_EQ(s.Position(), 5);
}

TEST(MemoryStreamViews, OnlyPlainMemoryStreamsLend)
{
    class TDerived final : public TMemoryStream {};
    TDerived derived;
    derived.Write(Bytes{1, 2, 3});
    derived.SetPosition(1);
    EXPECT_FALSE(derived.ReadView(2).has_value());
    EXPECT_FALSE(derived.WriteView(5).has_value());
    EXPECT_EQ(derived.Position(), 1);
    EXPECT_EQ(derived.Size(), 3);

    lwtest::TempDir dir;
    TFileStream file(dir / "f", TFileMode::fmCreate);
    file.Write(Bytes{1, 2, 3});
    file.SetPosition(0);
    EXPECT_FALSE(file.ReadView(2).has_value());
    EXPECT_FALSE(file.WriteView(2).has_value());
    EXPECT_EQ(file.Position(), 0);
    EXPECT_EQ(file.Size(), 3);
}
