#include "platform/BufferedWriteStream.h"

#include <algorithm>
#include <cstring>

#include "platform/Exception.h"

namespace lw {
namespace {
constexpr const char* kOnlyPosition = "Invalid stream operation";
} // namespace

TBufferedWriteStream::TBufferedWriteStream(TStream& destination, size_t chunk)
    : m_destination(destination), m_buffer(std::max<size_t>(chunk, 1))
{
}

int64_t TBufferedWriteStream::Read(std::span<uint8_t>)
{
    return 0;
}

int64_t TBufferedWriteStream::Write(std::span<const uint8_t> buffer)
{
    size_t done = 0;
    while (done < buffer.size()) {
        if (m_used == m_buffer.size())
            Flush();
        const size_t n = std::min(buffer.size() - done, m_buffer.size() - m_used);
        std::memcpy(m_buffer.data() + m_used, buffer.data() + done, n);
        m_used += n;
        done += n;
    }
    m_taken += static_cast<int64_t>(done);
    return static_cast<int64_t>(done);
}

std::optional<std::span<uint8_t>> TBufferedWriteStream::WriteView(size_t n)
{
    if (n > m_buffer.size())
        return std::nullopt;
    if (n == 0)
        return std::span<uint8_t>();
    if (m_buffer.size() - m_used < n)
        Flush();
    std::span<uint8_t> view(m_buffer.data() + m_used, n);
    m_used += n;
    m_taken += static_cast<int64_t>(n);
    return view;
}

int64_t TBufferedWriteStream::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EStreamError(kOnlyPosition);
    return m_taken;
}

void TBufferedWriteStream::Flush()
{
    const size_t n = m_used;
    // Gone either way: a retry would write the same bytes twice.
    m_used = 0;
    if (n > 0 && m_destination.Write(std::span<const uint8_t>(m_buffer.data(), n)) != static_cast<int64_t>(n))
        throw EWriteError(kStreamWriteError);
}

void TBufferedWriteStream::Finish()
{
    Flush();
}

} // namespace lw
