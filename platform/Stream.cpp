#include "platform/Stream.h"

#include <algorithm>
#include <vector>

#include "platform/Exception.h"

namespace lw {

int64_t TStream::Size()
{
    const int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(std::span<uint8_t> buffer)
{
    if (!buffer.empty() && Read(buffer) != static_cast<int64_t>(buffer.size()))
        throw EReadError(kStreamReadError);
}

void TStream::WriteBuffer(std::span<const uint8_t> buffer)
{
    if (!buffer.empty() && Write(buffer) != static_cast<int64_t>(buffer.size()))
        throw EWriteError(kStreamWriteError);
}

std::optional<std::span<const uint8_t>> TStream::ReadView(size_t)
{
    return std::nullopt;
}

std::optional<std::span<uint8_t>> TStream::WriteView(size_t)
{
    return std::nullopt;
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t result = count;
    std::vector<uint8_t> piece(static_cast<size_t>(std::min(count, kMaxCopyPiece)));
    while (count > 0) {
        const auto n = static_cast<size_t>(std::min(count, kMaxCopyPiece));
        source.ReadBuffer(std::span(piece.data(), n));
        WriteBuffer(std::span<const uint8_t>(piece.data(), n));
        count -= static_cast<int64_t>(n);
    }
    return result;
}

} // namespace lw
