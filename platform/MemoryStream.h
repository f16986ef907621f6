#pragma once
#include <vector>

#include "platform/Stream.h"

namespace lw {

// A growable in-memory byte stream.
class TMemoryStream : public TStream {
public:
    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(m_data.size()); }

    // Offered by a plain memory stream only: a derived one may watch or change Read and
    // Write, which views would pass by.
    std::optional<std::span<const uint8_t>> ReadView(size_t n) override;
    std::optional<std::span<uint8_t>> WriteView(size_t n) override;

    void SetSize(int64_t size);
    void Clear();
    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    int64_t Readable(size_t n) const;
    int64_t MakeRoom(size_t n);
    bool LendsBytes() const;

    std::vector<uint8_t> m_data;
    int64_t m_position = 0;
};

} // namespace lw
