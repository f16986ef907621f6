#pragma once
// The last step of undoing the block sort: following each position to the next one. One
// chain of loads waits on memory at every step; this runs several chains at once, each
// from its own start, and puts their pieces in order afterwards.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace lw {

class TBZBlockWalk {
public:
    // Walks entries tt[0..n), n below 2^20, (byte in the low 8 bits, next position from bit 8) from
    // position `first`; tt[n] is used too. False unless the walk comes back to `first`
    // after n steps or a divisor of n (a block of repeats), as it does for a whole block.
    bool Run(uint32_t* tt, uint32_t n, uint32_t first);

    // Gives the bytes of the last Run in order, piece by piece, while `f` returns true.
    template <class F>
    bool ForEach(F&& f) const
    {
        for (uint32_t r = 0; r < m_repeats; ++r)
            for (unsigned i = 0; i < m_chains; ++i) {
                const unsigned c = m_order[i];
                for (uint32_t k = m_first[c];; k = m_next[k]) {
                    const bool last = k == m_last[c];
                    const std::span<const uint8_t> piece(m_bytes.get() + size_t{k} * kChunk,
                                                         last ? m_lastUsed[c] : kChunk);
                    if (!f(piece))
                        return false;
                    if (last)
                        break;
                }
            }
        return true;
    }

private:
    static constexpr unsigned kChains = 8;
    static constexpr uint32_t kChunk = 16384;
    static constexpr uint32_t kSink = 4096;

    std::unique_ptr<uint8_t[]> m_bytes; // chunks, each chain's in a list
    std::vector<uint32_t> m_next;       // per chunk: the next of its chain
    uint32_t m_chunkCapacity = 0;
    uint32_t m_chains = 0;  // in the first one's cycle
    uint32_t m_repeats = 0; // times round that cycle
    std::array<uint32_t, kChains> m_first{}, m_last{}, m_lastUsed{}, m_count{};
    std::array<uint8_t, kChains> m_order{};
    std::array<uint8_t, kSink> m_sink{}; // where finished chains write
};

} // namespace lw
