#include "platform/SecretText.h"

#include <cstring>
#include <utility>

namespace lw {

// A plain memset runs at full width; the empty asm that may read the memory afterwards
// keeps the optimiser from dropping it as a dead store, even after inlining.
void SecureFill(void* data, size_t size, uint8_t value) noexcept
{
    if (size == 0)
        return; // an empty buffer may have no address at all, which memset may not be given
    std::memset(data, value, size);
    asm volatile("" : : "r"(data) : "memory");
}

void WipeString(std::string& text) noexcept
{
    // Growing to the capacity never reallocates, and makes every byte of the buffer ours to write.
    text.resize(text.capacity());
    SecureFill(text.data(), text.size(), 0);
    text.clear();
}

TSecretText::TSecretText(TSecretText&& other) noexcept : m_text(std::move(other.m_text))
{
    // A short text is copied out of the other's inline buffer rather than stolen.
    other.Scrub();
}

TSecretText& TSecretText::operator=(TSecretText&& other) noexcept
{
    if (this != &other) {
        Scrub();
        m_text = std::move(other.m_text);
        other.Scrub();
    }
    return *this;
}

void TSecretText::Assign(std::string_view text)
{
    if (text.size() <= m_text.capacity()) {
        // In place: the string may not reallocate, and text may point into it.
        const size_t size = text.size();
        m_text.assign(text);
        m_text.resize(m_text.capacity());
        SecureFill(m_text.data() + size, m_text.size() - size, 0);
        m_text.resize(size);
        return;
    }
    // A bigger buffer: the old one is wiped before the string lets it go.
    std::string grown(text);
    Scrub();
    m_text.swap(grown);
}

} // namespace lw
