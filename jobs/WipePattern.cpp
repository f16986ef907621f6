#include "jobs/WipePattern.h"

#include <algorithm>

#include "platform/WipeChecks.h"

namespace lw {

void FillWipePattern(int pass, std::span<uint8_t> buffer, uint32_t& seed)
{
    if (pass == kWipePasses) {
        seed = ClockSeed();
        FillRandomBytes(buffer, seed);
        return;
    }
    std::fill(buffer.begin(), buffer.end(), pass % 2 == 1 ? 0x00 : 0xFF);
}

size_t WipeWriteSize(int64_t fileSize)
{
    if (fileSize <= 0)
        return 0;
    const auto patterns =
        (std::min<uint64_t>(static_cast<uint64_t>(fileSize), kWipeWriteSize) + kWipeBufferSize - 1) / kWipeBufferSize;
    return static_cast<size_t>(patterns) * kWipeBufferSize;
}

void RepeatPattern(std::span<const uint8_t> pattern, std::span<uint8_t> out)
{
    if (pattern.empty())
        return;
    for (size_t at = 0; at < out.size(); at += pattern.size()) {
        const size_t n = std::min(pattern.size(), out.size() - at);
        std::copy_n(pattern.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

void FillRandomBytes(std::span<uint8_t> buffer, uint32_t& seed)
{
    for (uint8_t& byte : buffer) {
        seed = seed * 134775813u + 1u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
}

uint32_t ClockSeed()
{
    return fs::HighResolutionCounter();
}

} // namespace lw
