#include "compress/BZip2BlockWalk.h"

#include <algorithm>

namespace lw {

namespace {

constexpr uint32_t kMark = 1u << 31; // a chain starts here
constexpr uint32_t kIndex = (1u << 20) - 1;

} // namespace

bool TBZBlockWalk::Run(uint32_t* tt, uint32_t n, uint32_t first)
{
    if (n == 0 || n > kIndex || first >= n)
        return false;
    // Each chain's chunks are full but its last.
    if (const uint32_t need = n / kChunk + kChains + 1; need > m_chunkCapacity) {
        m_bytes.reset();
        m_bytes = std::make_unique_for_overwrite<uint8_t[]>(size_t{need} * kChunk);
        m_next.resize(need);
        m_chunkCapacity = need;
    }
    tt[n] = n << 8; // where a finished chain idles
    std::array<uint32_t, kChains> start{};
    unsigned chains = 0;
    start[chains++] = first;
    if (n >= kChains * 256)
        for (unsigned c = 1; c < kChains; ++c)
            if (const auto p = static_cast<uint32_t>(uint64_t{c} * n / kChains); p != first)
                start[chains++] = p;
    for (unsigned c = 0; c < chains; ++c)
        tt[start[c]] |= kMark;

    std::array<uint32_t, kChains> pos{}, succ{};
    std::array<uint8_t*, kChains> ptr{}, end{};
    uint32_t chunks = 0;
    bool ok = true;
    auto newChunk = [&](unsigned c) {
        if (chunks == m_chunkCapacity) {
            ok = false;
            return;
        }
        const uint32_t k = chunks++;
        if (m_count[c]++ == 0)
            m_first[c] = k;
        else
            m_next[m_last[c]] = k;
        m_last[c] = k;
        ptr[c] = m_bytes.get() + size_t{k} * kChunk;
        end[c] = ptr[c] + kChunk;
    };
    auto finish = [&](unsigned c) {
        m_lastUsed[c] = static_cast<uint32_t>(ptr[c] - (m_bytes.get() + size_t{m_last[c]} * kChunk));
        pos[c] = n;
        ptr[c] = m_sink.data();
        end[c] = nullptr;
    };
    m_count.fill(0);
    unsigned live = chains;
    for (unsigned c = 0; c < kChains; ++c) {
        if (c >= chains) {
            pos[c] = n;
            ptr[c] = m_sink.data();
            continue;
        }
        newChunk(c);
        const uint32_t e = tt[start[c]] & ~kMark;
        *ptr[c]++ = static_cast<uint8_t>(e);
        pos[c] = (e >> 8) & kIndex;
    }
    while (live > 0 && ok) {
        size_t steps = kSink;
        for (unsigned c = 0; c < kChains; ++c) {
            if (end[c] != nullptr)
                steps = std::min(steps, static_cast<size_t>(end[c] - ptr[c]));
            else
                ptr[c] = m_sink.data();
        }
        size_t s = 0;
        for (; s < steps; ++s) {
            std::array<uint32_t, kChains> e;
            uint32_t any = 0;
#pragma GCC unroll 8
            for (unsigned c = 0; c < kChains; ++c) {
                e[c] = tt[pos[c]];
                any |= e[c];
            }
            if (any & kMark)
                break;
#pragma GCC unroll 8
            for (unsigned c = 0; c < kChains; ++c) {
                *ptr[c]++ = static_cast<uint8_t>(e[c]);
                pos[c] = (e[c] >> 8) & kIndex;
            }
        }
        if (s < steps) {
            // Some chain reached another's start: one step chain by chain.
            for (unsigned c = 0; c < chains; ++c) {
                if (end[c] == nullptr)
                    continue;
                const uint32_t e = tt[pos[c]];
                if (e & kMark) {
                    succ[c] =
                        static_cast<uint32_t>(std::find(start.begin(), start.begin() + chains, pos[c]) - start.begin());
                    finish(c);
                    --live;
                } else {
                    *ptr[c]++ = static_cast<uint8_t>(e);
                    pos[c] = (e >> 8) & kIndex;
                }
            }
        }
        for (unsigned c = 0; c < chains; ++c)
            if (end[c] != nullptr && ptr[c] == end[c])
                newChunk(c);
    }
    for (unsigned c = 0; c < chains; ++c)
        tt[start[c]] &= ~kMark;
    if (!ok)
        return false;

    // In output order from the first chain, round its cycle. A block whose content repeats
    // has as many cycles as repeats: one walk of n steps goes round them all the same way.
    std::array<bool, kChains> seen{};
    uint64_t total = 0;
    unsigned c = 0;
    m_chains = 0;
    do {
        if (seen[c])
            return false;
        seen[c] = true;
        m_order[m_chains++] = static_cast<uint8_t>(c);
        total += uint64_t{m_count[c] - 1} * kChunk + m_lastUsed[c];
        c = succ[c];
    } while (c != 0);
    m_repeats = static_cast<uint32_t>(n / total);
    return n % total == 0;
}

} // namespace lw
