#include "crypto/SecureFill.h"

#include <cstring>

namespace lw {

// A plain memset runs at full width; the empty asm that may read the memory afterwards
// keeps the optimiser from dropping it as a dead store, even after inlining.
void SecureFill(void* data, size_t size, uint8_t value) noexcept
{
    std::memset(data, value, size);
    asm volatile("" : : "r"(data) : "memory");
}

void ScrubString(std::string& text) noexcept
{
    // Growing to the capacity never reallocates, and makes every byte of the buffer ours to write.
    text.resize(text.capacity());
    SecureFill(text.data(), text.size(), 0);
    text.clear();
}

} // namespace lw
