#pragma once
#include <vector>

#include "platform/Stream.h"

namespace lw {

// Reads its source in large chunks and lends the bytes out, so a caller working in small
// pieces makes few system calls. Read-only; the source must not be used meanwhile.
class TBufferedReadStream final : public TStream {
public:
    static constexpr size_t kChunk = size_t{1} << 20;

    explicit TBufferedReadStream(TStream& source, size_t chunk = kChunk);

    // Fills the buffer as often as it takes; fewer bytes only when the source gives none.
    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only offset 0 from the current position: the bytes delivered so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // A piece running past the buffered bytes is moved to the front and topped up;
    // nullopt for a piece larger than a chunk.
    std::optional<std::span<const uint8_t>> ReadView(size_t n) override;

private:
    size_t Available() const { return m_end - m_begin; }
    // Moves what is left to the front and reads into the room behind it; false at the end.
    bool TopUp();

    TStream& m_source;
    std::vector<uint8_t> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    int64_t m_delivered = 0;
};

} // namespace lw
