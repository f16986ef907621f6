#pragma once
#include <vector>

#include "platform/Stream.h"

namespace lw {

// Collects small writes and views in a large buffer and writes it to the destination in
// large writes. A failed or short write raises "Stream write error" (or what the
// destination raised) from the Write, WriteView or Finish that needed it. Without Finish
// the bytes still buffered are dropped: the destructor writes nothing.
class TBufferedWriteStream final : public TStream {
public:
    static constexpr size_t kChunk = size_t{1} << 20;

    explicit TBufferedWriteStream(TStream& destination, size_t chunk = kChunk);

    int64_t Read(std::span<uint8_t> buffer) override;
    // Takes all or raises.
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only offset 0 from the current position: the bytes taken so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // nullopt for a piece larger than a chunk.
    std::optional<std::span<uint8_t>> WriteView(size_t n) override;

    // Writes what is buffered.
    void Finish();

private:
    void Flush();

    TStream& m_destination;
    std::vector<uint8_t> m_buffer;
    size_t m_used = 0;
    int64_t m_taken = 0;
};

} // namespace lw
