#include "compress/BZip2BlockSort.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

// From its least rotation on, a block that repeats no shorter string is a Lyndon word, whose
// suffixes (a suffix before any longer one it begins) sort as its rotations do. The suffixes
// are sorted by induced sorting (SA-IS): the leftmost-smaller (LMS) suffixes are ordered first,
// through a reduced text of their names when their substrings tie, and the rest follow from
// them in two passes. Types are found from neighbouring symbols instead of a table; a sign
// bit in the order marks entries whose neighbour the next pass must leave alone.

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

// Calls at(p) for each LMS position p, right to left. Position n - 1 is L-type: the implied
// sentinel after it is smaller than any symbol.
template <class Ch, class At>
void ForEachLms(const Ch* t, Index n, At at)
{
    bool nextS = false;
    for (Index i = n - 2; i >= 0; --i) {
        const bool s = t[i] < t[i + 1] || (t[i] == t[i + 1] && nextS);
        if (!s && nextS)
            at(i + 1);
        nextS = s;
    }
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

// Names the m sorted LMS substrings in sa[0, m) (equal substrings, equal names) and leaves
// the reduced text, the names in text order, in sa[n - m, n). Returns the number of names.
template <class Ch>
Index NameSubstrings(const Ch* t, Index* sa, Index n, Index m)
{
    // Each LMS position p keeps its substring's length, then its name, at m + p / 2: LMS
    // positions are two apart at least. The last substring runs into the sentinel.
    std::fill(sa + m, sa + n, 0);
    Index next = n + 1;
    ForEachLms(t, n, [&](Index p) {
        sa[m + (p >> 1)] = next - p;
        next = p + 1;
    });
    Index names = 0;
    Index prev = 0;
    Index prevLength = 0;
    for (Index i = 0; i < m; ++i) {
        const Index p = sa[i];
        const Index length = sa[m + (p >> 1)];
        if (length != prevLength || p + length > n || prev + length > n || !std::equal(t + p, t + p + length, t + prev))
            ++names;
        prev = p;
        prevLength = length;
        sa[m + (p >> 1)] = names;
    }
    Index to = n;
    for (Index i = n - 1; i >= m; --i)
        if (sa[i] != 0)
            sa[--to] = sa[i] - 1;
    return names;
}

struct TContext {
    std::vector<std::vector<Index>>& levels;
};

template <class Ch, bool kBwt>
void SuffixSort(const Ch* t, Index* sa, Index n, TBuckets<Ch>& b, TContext& ctx, int depth, uint8_t* bwt);

// Sorts the m LMS suffixes into sa[0, m) by their reduced text in sa[n - m, n).
template <class Ch>
void SortLms(const Ch* t, Index* sa, Index n, Index m, Index names, TContext& ctx, int depth)
{
    Index* reduced = sa + n - m;
    if (names < m) {
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
            if (ctx.levels.size() <= static_cast<size_t>(depth))
                ctx.levels.resize(static_cast<size_t>(depth) + 1);
            auto& table = ctx.levels[static_cast<size_t>(depth)];
            table.resize(2 * static_cast<size_t>(names));
            counts = table.data();
            ptr = counts + names;
        }
        TBuckets<Index> rb{reduced, m, names, counts, ptr};
        if (counts != ptr)
            CountSymbols(reduced, m, counts, names);
        SuffixSort<Index, false>(reduced, sa, m, rb, ctx, depth + 1, nullptr);
    } else {
        for (Index i = 0; i < m; ++i)
            sa[reduced[i]] = i;
    }
    // Reduced positions back to text positions.
    Index to = m;
    ForEachLms(t, n, [&](Index p) { reduced[--to] = p; });
    for (Index i = 0; i < m; ++i)
        sa[i] = reduced[sa[i]];
}

template <class Ch, bool kBwt>
void SuffixSort(const Ch* t, Index* sa, Index n, TBuckets<Ch>& b, TContext& ctx, int depth, uint8_t* bwt)
{
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    b.Tails();
    std::fill_n(sa, n, 0);
    Index m = 0;
    ForEachLms(t, n, [&](Index p) {
        sa[--b.ptr[t[p]]] = p;
        ++m;
    });
    if (m > 1) {
        InduceSubstrings(t, sa, n, b);
        for (Index i = 0, k = 0; i < n; ++i)
            if (sa[i] < 0)
                sa[k++] = ~sa[i];
        const Index names = NameSubstrings(t, sa, n, m);
        SortLms(t, sa, n, m, names, ctx, depth);
    } else if (m == 1) {
        sa[0] = *std::find_if(sa, sa + n, [](Index v) { return v != 0; });
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

// The start of the least rotation, by elimination: comparing the rotations at candidates
// i and j over k equal symbols rules out every start in i..i+k or j..j+k, whichever lost.
// False when two rotations are equal.
bool LeastRotation(const uint8_t* s, size_t n, size_t& start)
{
    size_t i = 0;
    size_t j = 1;
    size_t k = 0;
    while (i < n && j < n && k < n) {
        const size_t a = i + k < n ? i + k : i + k - n;
        const size_t c = j + k < n ? j + k : j + k - n;
        if (s[a] == s[c]) {
            ++k;
            continue;
        }
        if (s[a] > s[c])
            i += k + 1;
        else
            j += k + 1;
        if (i == j)
            ++j;
        k = 0;
    }
    start = std::min(i, j);
    return k < n;
}

} // namespace

bool SortRotations(std::span<const uint8_t> block, std::span<uint8_t> lastColumn, uint32_t& origin,
                   TBlockSortWork& work)
{
    const size_t n = block.size();
    if (n == 0 || n >= (size_t{1} << 30) || lastColumn.size() != n)
        throw std::invalid_argument("block sort: bad sizes");
    size_t start = 0;
    if (!LeastRotation(block.data(), n, start))
        return false;
    work.text.resize(n);
    std::memcpy(work.text.data(), block.data() + start, n - start);
    std::memcpy(work.text.data() + (n - start), block.data(), start);
    work.order.resize(n);
    const uint8_t* t = work.text.data();
    Index* sa = work.order.data();
    const auto size = static_cast<Index>(n);

    Index counts[kBytes];
    Index ptr[kBytes];
    CountSymbols(t, size, counts, kBytes);
    TBuckets<uint8_t> b{t, size, kBytes, counts, ptr};
    TContext ctx{work.levels};
    SuffixSort<uint8_t, true>(t, sa, size, b, ctx, 0, lastColumn.data());

    // Suffix 0 has no symbol before it but the last, cyclically.
    const auto first = static_cast<Index>((n - start) % n);
    for (Index i = 0; i < size; ++i) {
        if (sa[i] == 0)
            lastColumn[static_cast<size_t>(i)] = t[n - 1];
        if (sa[i] == first)
            origin = static_cast<uint32_t>(i);
    }
    return true;
}

} // namespace lw::bz
