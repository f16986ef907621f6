#include "platform/BufferedReadStream.h"

#include <algorithm>
#include <cstring>

#include "platform/Exception.h"

namespace lw {
namespace {
constexpr const char* kOnlyPosition = "Invalid stream operation";
} // namespace

TBufferedReadStream::TBufferedReadStream(TStream& source, size_t chunk)
    : m_source(source), m_buffer(std::max<size_t>(chunk, 1))
{
}

bool TBufferedReadStream::TopUp()
{
    const size_t left = Available();
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, left);
        m_begin = 0;
        m_end = left;
    }
    if (m_end == m_buffer.size())
        return true;
    const int64_t got = m_source.Read(std::span(m_buffer.data() + m_end, m_buffer.size() - m_end));
    if (got <= 0)
        return false;
    m_end += static_cast<size_t>(got);
    return true;
}

int64_t TBufferedReadStream::Read(std::span<uint8_t> buffer)
{
    size_t done = 0;
    while (done < buffer.size()) {
        if (Available() == 0 && !TopUp())
            break;
        const size_t n = std::min(buffer.size() - done, Available());
        std::memcpy(buffer.data() + done, m_buffer.data() + m_begin, n);
        m_begin += n;
        done += n;
    }
    m_delivered += static_cast<int64_t>(done);
    return static_cast<int64_t>(done);
}

std::optional<std::span<const uint8_t>> TBufferedReadStream::ReadView(size_t n)
{
    if (n > m_buffer.size())
        return std::nullopt;
    while (Available() < n && TopUp()) {
    }
    const size_t k = std::min(n, Available());
    std::span<const uint8_t> view(m_buffer.data() + m_begin, k);
    m_begin += k;
    m_delivered += static_cast<int64_t>(k);
    return view;
}

int64_t TBufferedReadStream::Write(std::span<const uint8_t>)
{
    return 0;
}

int64_t TBufferedReadStream::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EStreamError(kOnlyPosition);
    return m_delivered;
}

} // namespace lw
