#include "compress/BZip2BlockSort.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "compress/SuffixSort.h"

// From its least rotation on, a block that repeats no shorter string is a Lyndon word, whose
// suffixes (a suffix before any longer one it begins) sort as its rotations do.

namespace lw::bz {
namespace {

// The start of the least rotation, by elimination: comparing the rotations at candidates
// i and j over k equal symbols rules out every start in i..i+k or j..j+k, whichever lost.
// False when two rotations are equal.
bool LeastRotation(const uint8_t* s, size_t n, size_t& start)
{
    size_t i = 0;
    size_t j = 1;
    size_t k = 0;
    while (i < n && j < n && k < n) {
        size_t a = i + k < n ? i + k : i + k - n;
        size_t c = j + k < n ? j + k : j + k - n;
        if (s[a] == s[c]) {
            // Long equal stretches (runs, repeats) a word at a time, clear of the wrap.
            ++k;
            for (uint64_t x, y; k + 8 <= n && a + 9 <= n && c + 9 <= n; k += 8, a += 8, c += 8) {
                std::memcpy(&x, s + a + 1, 8);
                std::memcpy(&y, s + c + 1, 8);
                if (x != y)
                    break;
            }
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
    work.text.resize(n + 8);
    std::memcpy(work.text.data(), block.data() + start, n - start);
    std::memcpy(work.text.data() + (n - start), block.data(), start);
    work.order.resize(n);
    const uint8_t* t = work.text.data();
    const int32_t* sa = work.order.data();
    const auto size = static_cast<int32_t>(n);
    SortSuffixes(t, work.order.data(), size, work, lastColumn.data());

    // Suffix 0 has no symbol before it but the last, cyclically.
    const auto first = static_cast<int32_t>((n - start) % n);
    for (int32_t i = 0; i < size; ++i) {
        if (sa[i] == 0)
            lastColumn[static_cast<size_t>(i)] = t[n - 1];
        if (sa[i] == first)
            origin = static_cast<uint32_t>(i);
    }
    return true;
}

} // namespace lw::bz
