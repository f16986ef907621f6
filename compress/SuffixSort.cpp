#include "compress/SuffixSort.h"

#include <algorithm>
#include <bit>
#include <cstring>

// Induced sorting (SA-IS): the leftmost-smaller (LMS) suffixes are ordered first, through a
// reduced text of their names when their substrings tie, and the rest follow from them in
// two passes. Types are found from neighbouring symbols instead of a table; a sign bit in
// the order marks entries whose neighbour the next pass must leave alone.

namespace lw::bz {
namespace {

using Index = int32_t;
constexpr Index kBytes = 256;

template <class Ch>
void CountSymbols(const Ch* t, Index n, Index* counts, Index k)
{
    std::fill_n(counts, k, 0);
    for (Index i = 0; i < n; ++i)
        ++counts[t[i]];
}

// One level's buckets. With room for one table only, `counts` is `ptr` and the text is
// counted again before each pass.
template <class Ch>
struct TBuckets {
    const Ch* t;
    Index n;
    Index k;
    Index* counts;
    Index* ptr;

    void Heads()
    {
        if (counts == ptr)
            CountSymbols(t, n, ptr, k);
        Index sum = 0;
        for (Index c = 0; c < k; ++c) {
            const Index size = counts[c];
            ptr[c] = sum;
            sum += size;
        }
    }
    void Tails()
    {
        if (counts == ptr)
            CountSymbols(t, n, ptr, k);
        Index sum = 0;
        for (Index c = 0; c < k; ++c) {
            sum += counts[c];
            ptr[c] = sum;
        }
    }
};

// The LMS positions of one level as bits, with a zero word after the last.
struct TLmsBits {
    uint64_t* words;
    Index n;

    static size_t Words(Index n) { return static_cast<size_t>(n) / 64 + 2; }

    template <class F>
    void ForEach(F f) const
    {
        for (Index w = 0; w <= n / 64; ++w)
            for (uint64_t x = words[w]; x != 0; x &= x - 1)
                f(w * 64 + std::countr_zero(x));
    }
    template <class F>
    void ForEachBackwards(F f) const
    {
        for (Index w = n / 64; w >= 0; --w)
            for (uint64_t x = words[w]; x != 0; x &= ~(uint64_t{1} << (63 - std::countl_zero(x))))
                f(w * 64 + 63 - std::countl_zero(x));
    }
    // The first LMS position after p, or n.
    Index Next(Index p) const
    {
        const Index q = p + 1;
        Index w = q / 64;
        uint64_t x = words[w] >> (q % 64);
        if (x != 0)
            return q + std::countr_zero(x);
        for (++w; w <= n / 64; ++w)
            if (words[w] != 0)
                return w * 64 + std::countr_zero(words[w]);
        return n;
    }
};

// Marks the LMS positions and returns their count. Position n - 1 is L-type: the implied
// sentinel after it is smaller than any symbol. Free of data-dependent branches, which
// random blocks would mispredict.
template <class Ch>
Index FindLms(const Ch* t, Index n, TLmsBits& bits)
{
    std::fill_n(bits.words, TLmsBits::Words(n), 0);
    Index m = 0;
    uint64_t acc = 0;
    uint32_t s = 0; // the type of position i, 1 for S
    for (Index i = n - 1; i > 0; --i) {
        const uint32_t before = static_cast<uint32_t>(t[i - 1] < t[i]) | (static_cast<uint32_t>(t[i - 1] == t[i]) & s);
        const uint32_t lms = s & ~before;
        acc |= uint64_t{lms} << (i % 64);
        m += static_cast<Index>(lms);
        s = before;
        if (i % 64 == 0) {
            bits.words[i / 64] = acc;
            acc = 0;
        }
    }
    bits.words[0] = acc;
    return m;
}

// Orders the LMS substrings: LMS positions at their buckets' tails in any order, then the
// L pass and the S pass. Sorted, the LMS positions are the negative entries.
template <class Ch>
void InduceSubstrings(const Ch* t, Index* sa, Index n, TBuckets<Ch>& b)
{
    b.Heads();
    Index* head = b.ptr;
    // The L pass leaves 0 where it induced and flips the rest for the S pass.
    sa[head[t[n - 1]]++] = t[n - 2] < t[n - 1] ? ~(n - 1) : n - 1;
    for (Index i = 0; i < n; ++i) {
        const Index j = sa[i];
        if (j > 0) {
            const Index p = j - 1;
            const Ch c = t[p];
            sa[head[c]++] = p > 0 && t[p - 1] < c ? ~p : p;
            sa[i] = 0;
        } else if (j < 0) {
            sa[i] = ~j;
        }
    }
    b.Tails();
    Index* tail = b.ptr;
    for (Index i = n - 1; i >= 0; --i) {
        const Index j = sa[i];
        if (j > 0) {
            const Index p = j - 1;
            const Ch c = t[p];
            sa[--tail[c]] = p > 0 && t[p - 1] > c ? ~p : p;
        }
    }
}

// From the sorted LMS suffixes at their buckets' tails, the whole order; each entry's
// preceding symbol goes to bwt, but for the entry of suffix 0.
template <class Ch, bool kBwt>
void InduceSuffixes(const Ch* t, Index* sa, Index n, TBuckets<Ch>& b, uint8_t* bwt)
{
    b.Heads();
    Index* head = b.ptr;
    sa[head[t[n - 1]]++] = t[n - 2] < t[n - 1] ? ~(n - 1) : n - 1;
    for (Index i = 0; i < n; ++i) {
        const Index j = sa[i];
        sa[i] = ~j;
        if (j > 0) {
            const Index p = j - 1;
            const Ch c = t[p];
            if constexpr (kBwt)
                bwt[i] = static_cast<uint8_t>(c);
            sa[head[c]++] = p > 0 && t[p - 1] < c ? ~p : p;
        }
    }
    b.Tails();
    Index* tail = b.ptr;
    for (Index i = n - 1; i >= 0; --i) {
        const Index j = sa[i];
        if (j > 0) {
            const Index p = j - 1;
            const Ch c = t[p];
            if constexpr (kBwt)
                bwt[i] = static_cast<uint8_t>(c);
            const Index to = --tail[c];
            if (p > 0 && t[p - 1] > c) {
                // An LMS suffix: the L pass read it where it was placed, not where it ends.
                if constexpr (kBwt)
                    bwt[to] = static_cast<uint8_t>(t[p - 1]);
                sa[to] = ~p;
            } else {
                sa[to] = p == 0 ? ~p : p;
            }
        } else {
            sa[i] = ~j;
        }
    }
}

// Whether the LMS substrings at a and b, both `length` symbols long, are equal; bytes are
// compared a word at a time, the text having a word of padding.
inline bool SameSymbols(const uint8_t* t, Index a, Index b, Index length)
{
    if constexpr (std::endian::native != std::endian::little)
        return std::equal(t + a, t + a + length, t + b);
    for (Index i = 0; i < length; i += 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, t + a + i, 8);
        std::memcpy(&y, t + b + i, 8);
        if (x != y)
            return length - i < 8 && std::countr_zero(x ^ y) >= 8 * (length - i);
    }
    return true;
}

inline bool SameSymbols(const Index* t, Index a, Index b, Index length)
{
    return std::equal(t + a, t + a + length, t + b);
}

// Names the m sorted LMS substrings in sa[0, m) (equal substrings, equal names) and leaves
// the reduced text, the names in text order, in sa[n - m, n). Returns the number of names.
template <class Ch>
Index NameSubstrings(const Ch* t, Index* sa, Index n, Index m, const TLmsBits& bits)
{
    // A substring runs to the next LMS position; the last, into the sentinel, has no equal.
    // Names wait at m + p / 2: LMS positions are two apart at least.
    Index names = 0;
    Index prev = 0;
    Index prevEnd = n;
    for (Index i = 0; i < m; ++i) {
        const Index p = sa[i];
        const Index end = bits.Next(p);
        const bool same = end < n && prevEnd < n && end - p == prevEnd - prev && SameSymbols(t, p, prev, end - p + 1);
        names += !same;
        sa[m + p / 2] = names - 1;
        prev = p;
        prevEnd = end;
    }
    Index* reduced = sa + n - m;
    Index k = m;
    bits.ForEachBackwards([&](Index p) { reduced[--k] = sa[m + p / 2]; });
    return names;
}

struct TContext {
    std::vector<std::vector<Index>>& tables;
    Index* wordRanks; // LMS positions before each word of a level's bits
};

template <class Ch, bool kBwt>
void SuffixSort(const Ch* t, Index* sa, Index n, TBuckets<Ch>& b, uint64_t* bitWords, TContext& ctx, int depth,
                uint8_t* bwt);

// When most names are unique, only the groups of equal names need sorting, by the names
// that follow, one more each round: cheaper than a level of recursion. sa[0, m) holds the
// LMS positions by name and becomes their places in the reduced text, sorted. False, sa
// left in any order, when that takes more than about m steps (long repeats), as recursion
// does better there.
bool SortTies(Index* sa, Index m, const Index* reduced, const TLmsBits& bits, Index* wordRanks)
{
    Index count = 0;
    for (Index w = 0; w <= bits.n / 64; ++w) {
        wordRanks[w] = count;
        count += std::popcount(bits.words[w]);
    }
    for (Index i = 0; i < m; ++i) {
        const Index p = sa[i];
        const uint64_t below = bits.words[p / 64] & ((uint64_t{1} << (p % 64)) - 1);
        sa[i] = wordRanks[p / 64] + std::popcount(below);
    }
    constexpr Index kMaxDepth = 32;
    Index budget = m;
    // A group: sa[from, to), equal in the names before `depth`.
    const auto next = [&](Index k, Index depth) { return k + depth < m ? reduced[k + depth] : -1; };
    const auto refine = [&](auto& self, Index from, Index to, Index depth) -> bool {
        budget -= to - from;
        if (budget < 0 || depth > kMaxDepth)
            return false;
        std::sort(sa + from, sa + to, [&](Index a, Index b) { return next(a, depth) < next(b, depth); });
        for (Index i = from; i < to;) {
            Index j = i + 1;
            while (j < to && next(sa[j], depth) == next(sa[i], depth))
                ++j;
            if (j - i > 1 && !self(self, i, j, depth + 1))
                return false;
            i = j;
        }
        return true;
    };
    for (Index i = 0; i < m;) {
        Index j = i + 1;
        while (j < m && reduced[sa[j]] == reduced[sa[i]])
            ++j;
        if (j - i > 1 && !refine(refine, i, j, 1))
            return false;
        i = j;
    }
    return true;
}

// Sorts the m LMS suffixes into sa[0, m), as places in their reduced text in sa[n - m, n).
void SortReduced(Index* sa, Index n, Index m, Index names, const TLmsBits& bits, TContext& ctx, int depth)
{
    Index* reduced = sa + n - m;
    if (names == m) {
        for (Index i = 0; i < m; ++i)
            sa[reduced[i]] = i;
        return;
    }
    if (2 * names >= m && SortTies(sa, m, reduced, bits, ctx.wordRanks))
        return;
    // The reduced problem's buckets go between its order and its text if they fit.
    const Index room = n - 2 * m;
    Index* counts;
    Index* ptr;
    if (room >= 2 * names) {
        counts = sa + m;
        ptr = counts + names;
    } else if (room >= names) {
        counts = ptr = sa + m;
    } else {
        if (ctx.tables.size() <= static_cast<size_t>(depth))
            ctx.tables.resize(static_cast<size_t>(depth) + 1);
        auto& table = ctx.tables[static_cast<size_t>(depth)];
        table.resize(2 * static_cast<size_t>(names));
        counts = table.data();
        ptr = counts + names;
    }
    TBuckets<Index> rb{reduced, m, names, counts, ptr};
    if (counts != ptr)
        CountSymbols(reduced, m, counts, names);
    SuffixSort<Index, false>(reduced, sa, m, rb, bits.words + TLmsBits::Words(n), ctx, depth + 1, nullptr);
}

template <class Ch, bool kBwt>
void SuffixSort(const Ch* t, Index* sa, Index n, TBuckets<Ch>& b, uint64_t* bitWords, TContext& ctx, int depth,
                uint8_t* bwt)
{
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    TLmsBits bits{bitWords, n};
    const Index m = FindLms(t, n, bits);
    if (m > 1) {
        b.Tails();
        std::fill_n(sa, n, 0);
        bits.ForEach([&](Index p) { sa[--b.ptr[t[p]]] = p; });
        InduceSubstrings(t, sa, n, b);
        for (Index i = 0, k = 0; i < n; ++i) {
            const Index v = sa[i];
            sa[k] = ~v;
            k += v < 0;
        }
        const Index names = NameSubstrings(t, sa, n, m, bits);
        SortReduced(sa, n, m, names, bits, ctx, depth);
        // Reduced positions back to text positions.
        Index* reduced = sa + n - m;
        Index k = 0;
        bits.ForEach([&](Index p) { reduced[k++] = p; });
        for (Index i = 0; i < m; ++i)
            sa[i] = reduced[sa[i]];
    } else if (m == 1) {
        bits.ForEach([&](Index p) { sa[0] = p; });
    }
    // The sorted LMS suffixes to their buckets' tails, keeping their order.
    b.Tails();
    std::fill(sa + m, sa + n, 0);
    for (Index i = m - 1; i >= 0; --i) {
        const Index p = sa[i];
        sa[i] = 0;
        sa[--b.ptr[t[p]]] = p;
    }
    InduceSuffixes<Ch, kBwt>(t, sa, n, b, bwt);
}

} // namespace

void SortSuffixes(const uint8_t* text, int32_t* order, int32_t n, TBlockSortWork& work, uint8_t* bwt)
{
    Index counts[kBytes];
    Index ptr[kBytes];
    CountSymbols(text, n, counts, kBytes);
    TBuckets<uint8_t> b{text, n, kBytes, counts, ptr};
    // Each level has half the positions of the one above at most.
    const auto size = static_cast<size_t>(n);
    work.lms.resize(size / 32 + 128);
    work.ranks.resize(size / 64 + 2);
    TContext ctx{work.tables, work.ranks.data()};
    SuffixSort<uint8_t, true>(text, order, n, b, work.lms.data(), ctx, 0, bwt);
}

} // namespace lw::bz
