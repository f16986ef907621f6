#include "platform/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <typeinfo>

#include "platform/Exception.h"

namespace lw {

// How many of n bytes a read at the position delivers; none before the start.
int64_t TMemoryStream::Readable(size_t n) const
{
    const int64_t size = static_cast<int64_t>(m_data.size());
    if (m_position < 0 || m_position >= size)
        return 0;
    return static_cast<int64_t>(std::min<uint64_t>(n, static_cast<uint64_t>(size - m_position)));
}

// Grows the stream (zeros in any gap) to hold n bytes at the position, moves past them and
// returns where they start; -1 when no byte can go there.
int64_t TMemoryStream::MakeRoom(size_t n)
{
    if (m_position < 0 || n > static_cast<uint64_t>(std::numeric_limits<int64_t>::max() - m_position))
        return -1;
    const int64_t at = m_position;
    const int64_t end = at + static_cast<int64_t>(n);
    if (end > Size())
        m_data.resize(static_cast<size_t>(end));
    m_position = end;
    return at;
}

bool TMemoryStream::LendsBytes() const
{
    return typeid(*this) == typeid(TMemoryStream);
}

int64_t TMemoryStream::Read(std::span<uint8_t> buffer)
{
    const int64_t n = Readable(buffer.size());
    if (n == 0)
        return 0;
    std::memcpy(buffer.data(), m_data.data() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int64_t TMemoryStream::Write(std::span<const uint8_t> buffer)
{
    if (buffer.empty())
        return 0;
    const int64_t at = MakeRoom(buffer.size());
    if (at < 0)
        return 0;
    std::memcpy(m_data.data() + at, buffer.data(), buffer.size());
    return static_cast<int64_t>(buffer.size());
}

std::optional<std::span<const uint8_t>> TMemoryStream::ReadView(size_t n)
{
    if (!LendsBytes())
        return std::nullopt;
    const int64_t k = Readable(n);
    if (k == 0)
        return std::span<const uint8_t>();
    std::span<const uint8_t> view(m_data.data() + m_position, static_cast<size_t>(k));
    m_position += k;
    return view;
}

std::optional<std::span<uint8_t>> TMemoryStream::WriteView(size_t n)
{
    if (!LendsBytes())
        return std::nullopt;
    if (n == 0)
        return std::span<uint8_t>();
    const int64_t at = MakeRoom(n);
    if (at < 0)
        throw EWriteError(kStreamWriteError);
    return std::span<uint8_t>(m_data.data() + at, n);
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
