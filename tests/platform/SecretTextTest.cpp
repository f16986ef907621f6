// The key phrase's own buffer: what it held is gone from every byte of it after a change,
// a move or a scrub. A string's buffer spans its capacity plus the terminator, so those
// bytes are read directly.
#include "platform/SecretText.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <type_traits>
#include <utility>

namespace {

static_assert(!std::is_copy_constructible_v<lw::TSecretText> && !std::is_copy_assignable_v<lw::TSecretText>,
              "a phrase is copied only on purpose, with Assign");

const std::string kShort = "inline pw";                                                // fits the inline buffer
const std::string kLong = "a phrase well past any string's inline buffer, 0123456789"; // lives on the heap

// Every byte of the buffer past the text is zero.
bool TailWiped(lw::TSecretText& t)
{
    const std::string& s = t.Buffer();
    return std::all_of(s.data() + s.size(), s.data() + s.capacity() + 1, [](char c) { return c == 0; });
}

// The whole buffer, text included, holds no byte of what it held.
bool AllWiped(lw::TSecretText& t)
{
    return t.Empty() && TailWiped(t);
}

struct AssignRow {
    const char* name;
    std::string before;
    std::string after;
};

class SecretTextAssign : public ::testing::TestWithParam<AssignRow> {};

} // namespace

TEST_P(SecretTextAssign, TakesTheNewTextAndLeavesNothingOfTheOld)
{
    const AssignRow& row = GetParam();
    lw::TSecretText t(row.before);
    t = row.after;
    EXPECT_EQ(t.View(), row.after);
    EXPECT_STREQ(t.CStr(), row.after.c_str());
    EXPECT_EQ(t.Size(), row.after.size());
    EXPECT_TRUE(TailWiped(t));
}

INSTANTIATE_TEST_SUITE_P(Rows, SecretTextAssign,
                         ::testing::Values(AssignRow{"LongToShorter", kLong, "ab"}, AssignRow{"LongToEmpty", kLong, ""},
                                           AssignRow{"LongToSameLength", kLong, std::string(kLong.size(), 'x')},
                                           AssignRow{"ShortToLonger", kShort, kLong},
                                           AssignRow{"LongToLonger", kLong, kLong + kLong},
                                           AssignRow{"ShortToShorter", kShort, "p"},
                                           AssignRow{"EmptyToLong", "", kLong}),
                         [](const auto& entry) { return std::string(entry.param.name); });

TEST(SecretText, AssignsAPieceOfItself)
{
    for (const std::string& text : {kShort, kLong}) {
        lw::TSecretText t(text);
        t = t.View().substr(3);
        EXPECT_EQ(t.View(), text.substr(3));
        EXPECT_TRUE(TailWiped(t));
    }
}

TEST(SecretText, MovedFromLeavesNothingReadable)
{
    for (const std::string& text : {kShort, kLong}) {
        SCOPED_TRACE(text);
        lw::TSecretText from(text);
        lw::TSecretText to(std::move(from));
        EXPECT_EQ(to.View(), text);
        EXPECT_TRUE(AllWiped(from));

        lw::TSecretText over(kLong + "!");
        over = std::move(to);
        EXPECT_EQ(over.View(), text);
        EXPECT_TRUE(AllWiped(to)); // holding, for a long text, the buffer `over` gave up

        lw::TSecretText& same = over;
        over = std::move(same);
        EXPECT_EQ(over.View(), text);
    }
}

TEST(SecretText, ScrubAndFillingInPlace)
{
    lw::TSecretText t;
    EXPECT_TRUE(t.Empty());
    t.Buffer() = kLong;
    t.Buffer().resize(10);
    EXPECT_EQ(t.View(), kLong.substr(0, 10));
    t.Scrub();
    EXPECT_TRUE(AllWiped(t));
    EXPECT_STREQ(t.CStr(), "");
}
