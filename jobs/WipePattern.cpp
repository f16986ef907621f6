#include "jobs/WipePattern.h"

#include <algorithm>
#include <chrono>

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

void FillRandomBytes(std::span<uint8_t> buffer, uint32_t& seed)
{
    for (uint8_t& byte : buffer) {
        seed = seed * 134775813u + 1u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
}

uint32_t ClockSeed()
{
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ticks.count());
}

} // namespace lw
