// The rotation sort against a plain comparison sort of the rotations, on inputs that defeat
// naive sorters (runs, near-periodic data, the Fibonacci word) and on blocks that repeat a
// shorter string, which have no single answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#include "BZip2Helpers.h"
#include "compress/BZip2BlockSort.h"

using namespace lw;
using lwtest::Bytes;

namespace {

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

Bytes Repeat(const Bytes& unit, size_t times)
{
    Bytes out;
    for (size_t i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

Bytes Changed(Bytes b, size_t at, uint8_t to)
{
    b[at] = to;
    return b;
}

// Followed by its own first `length` bytes: a repeat too long for the reduced text's ties
// to be sorted a few names deep.
Bytes WithRepeat(Bytes b, size_t length)
{
    b.insert(b.end(), b.begin(), b.begin() + static_cast<ptrdiff_t>(length));
    return b;
}

Bytes Fibonacci(size_t n)
{
    std::string a = "a";
    std::string b = "ab";
    while (b.size() < n)
        a = std::exchange(b, b + a);
    return Text(b.substr(0, n));
}

// Runs of every length up to 300 of a few symbols.
Bytes Runs()
{
    Bytes out;
    for (size_t length = 1; length <= 300; ++length)
        out.insert(out.end(), length, static_cast<uint8_t>('a' + length % 3));
    return out;
}

// Two bytes a character, the second zero: LMS suffixes as dense as they come.
Bytes Utf16(const Bytes& text)
{
    Bytes out;
    for (uint8_t c : text)
        out.insert(out.end(), {c, 0});
    return out;
}

Bytes AllBytes()
{
    Bytes b(256);
    std::iota(b.begin(), b.end(), uint8_t{0});
    std::rotate(b.begin(), b.begin() + 77, b.end());
    return b;
}

// The last column by sorting rotation starts with whole-rotation comparisons.
void Reference(const Bytes& block, Bytes& last, uint32_t& origin)
{
    const size_t n = block.size();
    Bytes twice = Repeat(block, 2);
    std::vector<uint32_t> starts(n);
    std::iota(starts.begin(), starts.end(), 0u);
    std::sort(starts.begin(), starts.end(),
              [&](uint32_t a, uint32_t b) { return std::memcmp(&twice[a], &twice[b], n) < 0; });
    last.resize(n);
    for (size_t i = 0; i < n; ++i) {
        last[i] = block[(starts[i] + n - 1) % n];
        if (starts[i] == 0)
            origin = static_cast<uint32_t>(i);
    }
}

struct TRow {
    const char* name;
    Bytes block;
    bool sorts; // false: two rotations are equal
};

TEST(BZip2BlockSort, MatchesComparisonSortOfRotations)
{
    const Bytes run(900000, 'a');
    const Bytes text = bztest::PseudoText(300000, 5);
    const std::vector<TRow> rows = {
        {"one byte", Text("x"), true},
        {"two bytes", Text("ba"), true},
        {"all byte values", AllBytes(), true},
        {"random 3", lwtest::RandomBytes(3, 1), true},
        {"random 1000", lwtest::RandomBytes(1000, 2), true},
        {"random 70000", lwtest::RandomBytes(70000, 3), true},
        {"random 900000", lwtest::RandomBytes(900000, 4), true},
        {"random with a long repeat", WithRepeat(lwtest::RandomBytes(40000, 11), 20000), true},
        {"small alphabet", lwtest::TextBytes(120000, 6), true},
        {"text", text, true},
        {"UTF-16 text", Utf16(bztest::PseudoText(40000, 10)), true},
        {"text with a period of half its length",
         Changed(Repeat(Bytes(text.begin(), text.begin() + 5000), 2), 7000, '#'), true},
        {"run then one other", Changed(Bytes(6000, 'a'), 5999, 'b'), true},
        {"one other then run", Changed(Bytes(6000, 'b'), 3, 'a'), true},
        {"runs of every length", Runs(), true},
        {"ab then c", Changed(Repeat(Text("ab"), 3000), 5999, 'c'), true},
        {"two-periodic with one change", Changed(Repeat(Text("ab"), 3000), 2501, 'a'), true},
        {"seven-periodic with one change", Changed(Repeat(lwtest::RandomBytes(7, 8), 3000), 10000, 0), true},
        {"Fibonacci word", Fibonacci(17711), true},
        {"Fibonacci word less one", Fibonacci(17710), true},
        {"two equal bytes", Text("aa"), false},
        {"abab", Text("abab"), false},
        {"abcabcabc", Text("abcabcabc"), false},
        {"random thrice", Repeat(lwtest::RandomBytes(1000, 9), 3), false},
        {"longest run", run, false},
    };
    bz::TBlockSortWork work; // shared, as an encoder thread shares it between blocks
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes got(row.block.size());
        uint32_t origin = 0;
        ASSERT_EQ(bz::SortRotations(row.block, got, origin, work), row.sorts);
        if (!row.sorts)
            continue;
        Bytes want;
        uint32_t wantOrigin = 0;
        Reference(row.block, want, wantOrigin);
        EXPECT_TRUE(bztest::Same(got, want));
        EXPECT_EQ(origin, wantOrigin);
    }
}

} // namespace
