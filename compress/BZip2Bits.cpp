#include "compress/BZip2Bits.h"

namespace lw::bz {

uint64_t PeekBits(std::span<const uint8_t> data, uint64_t offset, unsigned count)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i) {
        const uint64_t bit = offset + i;
        const uint64_t byte = bit / 8;
        const unsigned b = byte < data.size() ? (data[byte] >> (7 - bit % 8)) & 1u : 0u;
        value = (value << 1) | b;
    }
    return value;
}

void TBitWriter::Put(uint64_t bits, unsigned count)
{
    if (count == 0)
        return;
    m_acc = (m_acc << count) | (bits & ((uint64_t{1} << count) - 1));
    m_pending += count;
    while (m_pending >= 8) {
        m_pending -= 8;
        m_bytes.push_back(static_cast<uint8_t>(m_acc >> m_pending));
    }
    m_acc &= (uint64_t{1} << m_pending) - 1;
}

void TBitWriter::PutBits(std::span<const uint8_t> data, uint64_t count)
{
    const size_t whole = static_cast<size_t>(count / 8);
    const auto bytes = data.first(whole);
    if (m_pending == 0) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    } else {
        const size_t start = m_bytes.size();
        m_bytes.resize(start + whole);
        uint8_t* out = m_bytes.data() + start;
        const unsigned keep = m_pending;
        uint64_t acc = m_acc;
        for (size_t i = 0; i < whole; ++i) {
            acc = (acc << 8) | bytes[i];
            out[i] = static_cast<uint8_t>(acc >> keep);
        }
        m_acc = acc & ((uint64_t{1} << keep) - 1);
    }
    if (const auto rest = static_cast<unsigned>(count % 8))
        Put(data[whole] >> (8 - rest), rest);
}

void TBitWriter::Pad()
{
    if (m_pending != 0)
        Put(0, 8 - m_pending);
}

void TBitWriter::ClearBytes()
{
    m_flushed += m_bytes.size() * 8;
    m_bytes.clear();
}

} // namespace lw::bz
