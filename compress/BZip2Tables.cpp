#include "compress/BZip2Tables.h"

#include <algorithm>

namespace lw::bz {

namespace {

// A node's weight is its count above the low byte and its depth in the low byte, so that
// of two equal counts the shallower tree joins first.
constexpr int32_t Join(int32_t a, int32_t b)
{
    return ((a & ~0xff) + (b & ~0xff)) | (1 + std::max(a & 0xff, b & 0xff));
}

// Tables by the size of the move-to-front output.
unsigned TableCount(size_t symbols)
{
    return symbols < 200 ? 2 : symbols < 600 ? 3 : symbols < 1200 ? 4 : symbols < 2400 ? 5 : 6;
}

constexpr uint8_t kCheap = 0;
constexpr uint8_t kDear = 15;

} // namespace

void MakeCodeLengths(std::span<uint8_t> lengths, std::span<const int32_t> freq, unsigned maxLength)
{
    const size_t alpha = lengths.size();
    // Nodes and heap entries count from 1; node 0, of weight 0, is the sentinel the heap's
    // top rises to.
    std::array<size_t, kMaxAlpha + 2> heap{};
    std::array<int32_t, kMaxAlpha * 2> weight{};
    std::array<size_t, kMaxAlpha * 2> parent{};
    for (size_t i = 0; i < alpha; ++i)
        weight[i + 1] = std::max(freq[i], 1) << 8;
    size_t nHeap = 0;
    const auto up = [&](size_t z) {
        const size_t t = heap[z];
        while (weight[t] < weight[heap[z >> 1]]) {
            heap[z] = heap[z >> 1];
            z >>= 1;
        }
        heap[z] = t;
    };
    const auto pop = [&] {
        const size_t top = heap[1];
        heap[1] = heap[nHeap--];
        size_t z = 1;
        const size_t t = heap[z];
        for (size_t y; (y = z << 1) <= nHeap; z = y) {
            if (y < nHeap && weight[heap[y + 1]] < weight[heap[y]])
                ++y;
            if (weight[t] < weight[heap[y]])
                break;
            heap[z] = heap[y];
        }
        heap[z] = t;
        return top;
    };
    for (;;) {
        size_t nodes = alpha;
        nHeap = 0;
        for (size_t i = 1; i <= alpha; ++i) {
            parent[i] = 0;
            heap[++nHeap] = i;
            up(nHeap);
        }
        while (nHeap > 1) {
            const size_t a = pop();
            const size_t b = pop();
            parent[a] = parent[b] = ++nodes;
            weight[nodes] = Join(weight[a], weight[b]);
            parent[nodes] = 0;
            heap[++nHeap] = nodes;
            up(nHeap);
        }
        bool tooLong = false;
        for (size_t i = 1; i <= alpha; ++i) {
            unsigned depth = 0;
            for (size_t k = i; parent[k] != 0; k = parent[k])
                ++depth;
            lengths[i - 1] = static_cast<uint8_t>(depth);
            tooLong |= depth > maxLength;
        }
        if (!tooLong)
            return;
        for (size_t i = 1; i <= alpha; ++i)
            weight[i] = (1 + (weight[i] >> 8) / 2) << 8;
    }
}

void ChooseTables(std::span<const uint16_t> symbols, unsigned alphaSize, std::span<const int32_t> freq,
                  TCodingTables& tables)
{
    const size_t n = symbols.size();
    const unsigned count = TableCount(n);
    tables.count = count;
    for (auto& l : tables.lengths)
        std::fill(l.begin(), l.end(), kDear);

    // The start: table t covers a band of symbols holding about its share of the output,
    // the bands alternately cut one symbol short.
    {
        size_t remaining = n;
        unsigned start = 0;
        for (unsigned part = count; part > 0; --part) {
            const size_t share = remaining / part;
            int end = static_cast<int>(start) - 1;
            size_t got = 0;
            while (got < share && end < static_cast<int>(alphaSize) - 1)
                got += static_cast<size_t>(freq[static_cast<size_t>(++end)]);
            if (end > static_cast<int>(start) && part != count && part != 1 && (count - part) % 2 == 1)
                got -= static_cast<size_t>(freq[static_cast<size_t>(end--)]);
            for (unsigned v = 0; v < alphaSize; ++v)
                tables.lengths[part - 1][v] =
                    (static_cast<int>(v) >= static_cast<int>(start) && static_cast<int>(v) <= end) ? kCheap : kDear;
            start = static_cast<unsigned>(end + 1);
            remaining -= got;
        }
    }

    const size_t groups = (n + kGroupSize - 1) / kGroupSize;
    tables.selectors.resize(groups);
    // Four tables' lengths in one word: a group's costs add up in 16-bit lanes, which 50
    // symbols of at most 17 bits cannot overflow.
    std::array<std::array<uint64_t, 2>, kMaxAlpha> packed{};
    std::array<std::array<int32_t, kMaxAlpha>, kMaxTables> rfreq{};
    for (int round = 0; round < 4; ++round) {
        for (auto& f : rfreq)
            std::fill(f.begin(), f.end(), 0);
        for (unsigned v = 0; v < alphaSize; ++v) {
            uint64_t lo = 0, hi = 0;
            for (unsigned t = 0; t < count; ++t) {
                const uint64_t l = tables.lengths[t][v];
                if (t < 4)
                    lo |= l << (16 * t);
                else
                    hi |= l << (16 * (t - 4));
            }
            packed[v] = {lo, hi};
        }
        for (size_t g = 0; g < groups; ++g) {
            const size_t from = g * kGroupSize, to = std::min(n, from + kGroupSize);
            uint64_t lo = 0, hi = 0;
            for (size_t i = from; i < to; ++i) {
                lo += packed[symbols[i]][0];
                hi += packed[symbols[i]][1];
            }
            // The first of the cheapest.
            unsigned best = 0;
            uint64_t bestCost = lo & 0xffff;
            for (unsigned t = 1; t < count; ++t) {
                const uint64_t c = ((t < 4 ? lo : hi) >> (16 * (t % 4))) & 0xffff;
                if (c < bestCost) {
                    bestCost = c;
                    best = t;
                }
            }
            tables.selectors[g] = static_cast<uint8_t>(best);
            auto& f = rfreq[best];
            for (size_t i = from; i < to; ++i)
                ++f[symbols[i]];
        }
        for (unsigned t = 0; t < count; ++t)
            MakeCodeLengths(std::span(tables.lengths[t]).first(alphaSize), std::span(rfreq[t]).first(alphaSize),
                            kMaxCodeLength);
    }
}

} // namespace lw::bz
