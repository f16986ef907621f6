#include "crypto/SecureFill.h"

namespace lw {

void SecureFill(void* data, size_t size, uint8_t value) noexcept
{
    volatile uint8_t* p = static_cast<volatile uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        p[i] = value;
}

void ScrubString(std::string& text) noexcept
{
    // Growing to the capacity never reallocates, and makes every byte of the buffer ours to write.
    text.resize(text.capacity());
    SecureFill(text.data(), text.size(), 0);
    text.clear();
}

} // namespace lw
