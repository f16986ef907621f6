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

    void SetSize(int64_t size);
    void Clear();
    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
    int64_t m_position = 0;
};

} // namespace lw
