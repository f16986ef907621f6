#include "platform/SecretText.h"

#include <utility>

namespace lw {
namespace {

// Volatile stores: the compiler may not drop them as dead, the buffer being freed next.
void WipeBytes(char* data, size_t size) noexcept
{
    volatile char* p = data;
    for (size_t i = 0; i < size; ++i)
        p[i] = 0;
}

} // namespace

void WipeString(std::string& text) noexcept
{
    // Growing to the capacity never reallocates, and makes every byte of the buffer ours to write.
    text.resize(text.capacity());
    WipeBytes(text.data(), text.size());
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
        WipeBytes(m_text.data() + size, m_text.size() - size);
        m_text.resize(size);
        return;
    }
    // A bigger buffer: the old one is wiped before the string lets it go.
    std::string grown(text);
    Scrub();
    m_text.swap(grown);
}

} // namespace lw
