#include "compress/BZip2BlockEncoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "compress/BZip2BlockSort.h"
#include "compress/BZip2Format.h"
#include "platform/LoadStore.h"

namespace lw::bz {

namespace {

constexpr uint16_t kRunA = 0;
constexpr uint16_t kRunB = 1;
// Magic, checksum, flag, origin, the map of bytes in use and the two counts: 395 bits at most.
constexpr size_t kHeadBytes = 64;

// Bits into a buffer sized for the worst case; at most 32 bits a call.
class TBitSink {
public:
    explicit TBitSink(std::vector<uint8_t>& out) : m_out(out) {}

    void Reserve(size_t moreBytes)
    {
        if (m_at + moreBytes + 8 > m_out.size())
            m_out.resize(std::max(m_out.size() * 2, m_at + moreBytes + 8));
    }
    void Put(uint32_t value, unsigned count)
    {
        m_acc = (m_acc << count) | value;
        m_count += count;
        if (m_count >= 32) {
            m_count -= 32;
            StoreBE32(m_out.data() + m_at, static_cast<uint32_t>(m_acc >> m_count));
            m_at += 4;
        }
    }
    uint64_t Finish()
    {
        const uint64_t bits = uint64_t{m_at} * 8 + m_count;
        if (m_count > 0) {
            StoreBE32(m_out.data() + m_at, static_cast<uint32_t>(m_acc << (32 - m_count)));
            m_at += (m_count + 7) / 8;
        }
        m_out.resize(m_at);
        return bits;
    }

private:
    std::vector<uint8_t>& m_out;
    size_t m_at = 0;
    uint64_t m_acc = 0;
    unsigned m_count = 0; // pending bits, below 32 between calls
};

// Move-to-front over the bytes in use, runs of the front symbol written in bijective base
// two (RUNA, RUNB), EOB last: the library's symbols and their counts.
void MoveToFront(std::span<const uint8_t> last, const std::array<uint8_t, 256>& rank, unsigned inUse,
                 std::vector<uint16_t>& symbols, std::span<int32_t> freq)
{
    symbols.resize(last.size() + 1);
    uint16_t* out = symbols.data();
    std::array<uint8_t, 256> order{};
    for (unsigned i = 0; i < inUse; ++i)
        order[i] = static_cast<uint8_t>(i);
    size_t zeros = 0;
    const auto flush = [&] {
        for (--zeros;; zeros = (zeros - 2) / 2) {
            const uint16_t s = (zeros & 1) ? kRunB : kRunA;
            *out++ = s;
            ++freq[s];
            if (zeros < 2)
                break;
        }
        zeros = 0;
    };
    for (const uint8_t byte : last) {
        const uint8_t r = rank[byte];
        if (order[0] == r) {
            ++zeros;
            continue;
        }
        if (zeros > 0)
            flush();
        // Found and shifted with the library routines: on noisy data the symbol lies a
        // hundred places back on average.
        size_t j = 1;
        if (order[1] != r) {
            j = static_cast<size_t>(static_cast<const uint8_t*>(std::memchr(&order[2], r, inUse - 2)) - order.data());
            std::memmove(&order[1], &order[0], j);
        } else {
            order[1] = order[0];
        }
        order[0] = r;
        *out++ = static_cast<uint16_t>(j + 1);
        ++freq[j + 1];
    }
    if (zeros > 0)
        flush();
    const auto eob = static_cast<uint16_t>(inUse + 1);
    *out++ = eob;
    ++freq[eob];
    symbols.resize(static_cast<size_t>(out - symbols.data()));
}

void PutTables(TBitSink& sink, const std::array<bool, 256>& used, const TCodingTables& tables, unsigned alphaSize,
               size_t selectors)
{
    unsigned ranges = 0;
    for (unsigned i = 0; i < 16; ++i)
        for (unsigned j = 0; j < 16; ++j)
            if (used[i * 16 + j])
                ranges |= 0x8000u >> i;
    sink.Put(ranges, 16);
    for (unsigned i = 0; i < 16; ++i) {
        if (!(ranges & (0x8000u >> i)))
            continue;
        unsigned bits = 0;
        for (unsigned j = 0; j < 16; ++j)
            bits = (bits << 1) | (used[i * 16 + j] ? 1u : 0u);
        sink.Put(bits, 16);
    }
    sink.Put(tables.count, 3);
    sink.Put(static_cast<uint32_t>(selectors), 15);
    // The selectors move-to-front coded, each in unary.
    std::array<uint8_t, kMaxTables> order{0, 1, 2, 3, 4, 5};
    sink.Reserve(selectors);
    for (size_t i = 0; i < selectors; ++i) {
        const uint8_t s = tables.selectors[i];
        unsigned j = 0;
        while (order[j] != s)
            ++j;
        std::copy_backward(order.begin(), order.begin() + j, order.begin() + j + 1);
        order[0] = s;
        sink.Put(((1u << j) - 1) << 1, j + 1);
    }
    // Each table's lengths as steps from the one before: 10 up, 11 down, 0 next.
    for (unsigned t = 0; t < tables.count; ++t) {
        sink.Reserve(alphaSize * 8);
        unsigned current = tables.lengths[t][0];
        sink.Put(current, 5);
        for (unsigned v = 0; v < alphaSize; ++v) {
            const unsigned l = tables.lengths[t][v];
            for (; current < l; ++current)
                sink.Put(2, 2);
            for (; current > l; --current)
                sink.Put(3, 2);
            sink.Put(0, 1);
        }
    }
}

} // namespace

bool EncodeBlock(std::span<const uint8_t> stored, TBlockEncoderScratch& scratch, TEncodedBlock& out)
{
    const size_t n = stored.size();
    scratch.last.resize(n);
    uint32_t origin = 0;
    if (!SortRotations(stored, scratch.last, origin, scratch.sort))
        return false;

    std::array<bool, 256> used{};
    for (const uint8_t b : stored)
        used[b] = true;
    std::array<uint8_t, 256> rank{};
    unsigned inUse = 0;
    for (unsigned b = 0; b < 256; ++b)
        if (used[b])
            rank[b] = static_cast<uint8_t>(inUse++);
    const unsigned alphaSize = inUse + 2;
    std::array<int32_t, kMaxAlpha> freq{};
    MoveToFront(scratch.last, rank, inUse, scratch.symbols, freq);
    const std::span<const uint16_t> symbols = scratch.symbols;
    TCodingTables& tables = scratch.tables;
    ChooseTables(symbols, alphaSize, std::span(freq).first(alphaSize), tables);

    // Canonical codes: shorter first, then by symbol.
    std::array<std::array<uint32_t, kMaxAlpha>, kMaxTables> codes{};
    for (unsigned t = 0; t < tables.count; ++t) {
        const auto& lengths = tables.lengths[t];
        const auto [lo, hi] = std::minmax_element(lengths.begin(), lengths.begin() + alphaSize);
        uint32_t next = 0;
        for (unsigned l = *lo; l <= *hi; ++l, next <<= 1)
            for (unsigned v = 0; v < alphaSize; ++v)
                if (lengths[v] == l)
                    codes[t][v] = next++;
    }

    out.crc = StoredBlockCrc(stored);
    TBitSink sink(out.bytes);
    sink.Reserve(kHeadBytes);
    sink.Put(static_cast<uint32_t>(kBlockMagic >> 24), 24);
    sink.Put(static_cast<uint32_t>(kBlockMagic & 0xffffff), 24);
    sink.Put(out.crc, 32);
    sink.Put(0, 1); // never randomised
    sink.Put(origin, 24);
    PutTables(sink, used, tables, alphaSize, tables.selectors.size());
    for (size_t g = 0; g < tables.selectors.size(); ++g) {
        sink.Reserve(kGroupSize * kMaxCodeLength / 8 + 1);
        const auto& lengths = tables.lengths[tables.selectors[g]];
        const auto& code = codes[tables.selectors[g]];
        const size_t to = std::min(symbols.size(), (g + 1) * kGroupSize);
        for (size_t i = g * kGroupSize; i < to; ++i)
            sink.Put(code[symbols[i]], lengths[symbols[i]]);
    }
    out.bits = sink.Finish();
    return true;
}

} // namespace lw::bz
