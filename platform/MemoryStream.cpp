#include "platform/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace lw {

int64_t TMemoryStream::Read(std::span<uint8_t> buffer)
{
    const int64_t size = Size();
    if (m_position >= size || buffer.empty())
        return 0;
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(buffer.size()), size - m_position);
    std::memcpy(buffer.data(), m_data.data() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int64_t TMemoryStream::Write(std::span<const uint8_t> buffer)
{
    if (buffer.empty() || m_position < 0)
        return 0;
    const int64_t end = m_position + static_cast<int64_t>(buffer.size());
    if (end > Size())
        m_data.resize(static_cast<size_t>(end));
    std::memcpy(m_data.data() + m_position, buffer.data(), buffer.size());
    m_position = end;
    return static_cast<int64_t>(buffer.size());
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::soBeginning: m_position = offset; break;
    case TSeekOrigin::soCurrent: m_position += offset; break;
    case TSeekOrigin::soEnd: m_position = Size() + offset; break;
    }
    return m_position;
}

void TMemoryStream::SetSize(int64_t size)
{
    m_data.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    m_position = std::min(m_position, Size());
}

void TMemoryStream::Clear()
{
    m_data.clear();
    m_data.shrink_to_fit();
    m_position = 0;
}

} // namespace lw
