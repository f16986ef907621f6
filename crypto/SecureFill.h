#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/SecretText.h"

namespace lw {

// Scrubs a string when it goes out of scope, however the scope is left.
class TScrubOnExit {
public:
    explicit TScrubOnExit(std::string& text) noexcept : m_text(text) {}
    ~TScrubOnExit() { WipeString(m_text); }
    TScrubOnExit(const TScrubOnExit&) = delete;
    TScrubOnExit& operator=(const TScrubOnExit&) = delete;

private:
    std::string& m_text;
};

// Wipes a buffer or plain object with zero bytes when it goes out of scope, however the
// scope is left: working copies of blocks, chaining values and plaintext pieces.
class TWipeOnExit {
public:
    TWipeOnExit(void* data, size_t size) noexcept : m_data(data), m_size(size) {}
    template <class T>
    explicit TWipeOnExit(T& object) noexcept : TWipeOnExit(&object, sizeof(T))
    {}
    ~TWipeOnExit() { SecureFill(m_data, m_size, 0); }
    TWipeOnExit(const TWipeOnExit&) = delete;
    TWipeOnExit& operator=(const TWipeOnExit&) = delete;

private:
    void* m_data;
    size_t m_size;
};

// Zeroes N bytes of stack right below the caller's frame, where the function it has just
// called kept its own: the register spills of a cipher's rounds are no named variable
// that a local wipe could reach.
template <size_t N>
[[gnu::noinline]] void ScrubStackBelow() noexcept
{
    uint8_t area[N];
    SecureFill(area, N, 0);
}

// Key material that holds its wipe pattern from construction on and scrubs itself
// on destruction, so no constructor or destructor has to call a virtual Wipe.
template <class T, size_t N, uint8_t Pattern>
class TKeyArray {
public:
    TKeyArray() noexcept { Wipe(); }
    ~TKeyArray() { Wipe(); }
    TKeyArray(const TKeyArray&) = delete;
    TKeyArray& operator=(const TKeyArray&) = delete;

    void Wipe() noexcept { SecureFill(m_data.data(), sizeof(m_data), Pattern); }

    T& operator[](size_t i) noexcept { return m_data[i]; }
    const T& operator[](size_t i) const noexcept { return m_data[i]; }
    T* data() noexcept { return m_data.data(); }
    const T* data() const noexcept { return m_data.data(); }
    static constexpr size_t size() noexcept { return N; }
    std::span<const uint8_t> Bytes() const noexcept
    {
        return {reinterpret_cast<const uint8_t*>(m_data.data()), sizeof(m_data)};
    }

private:
    std::array<T, N> m_data;
};

} // namespace lw
