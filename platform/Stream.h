#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace lw {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A positioned sequence of bytes. Positions, sizes and counts are 64-bit.
class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Returns the number of bytes delivered; 0 at the end.
    virtual int64_t Read(std::span<uint8_t> buffer) = 0;
    // Returns the number of bytes taken.
    virtual int64_t Write(std::span<const uint8_t> buffer) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    // Made of seeks: position query, seek to end, seek back.
    virtual int64_t Size();

    // Raise "Stream read error" / "Stream write error" on a short transfer.
    void ReadBuffer(std::span<uint8_t> buffer);
    void WriteBuffer(std::span<const uint8_t> buffer);

    // Count 0 copies the whole source from position 0. Returns the bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);

    // The stream's own bytes, for callers that would only copy them through a buffer.
    // ReadView: up to n bytes at the position, moved past as Read of n bytes would.
    // WriteView: room for exactly n bytes at the position, grown and raised exactly as
    // WriteBuffer would, moved past. A view lasts until the next call on this stream.
    // nullopt: not offered, nothing changed; the caller reads or writes instead.
    virtual std::optional<std::span<const uint8_t>> ReadView(size_t n);
    virtual std::optional<std::span<uint8_t>> WriteView(size_t n);

    static constexpr int64_t kMaxCopyPiece = 61440;
};

} // namespace lw
