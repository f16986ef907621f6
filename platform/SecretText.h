#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// Fills memory with a byte in a way the optimiser cannot drop as a dead store.
void SecureFill(void* data, size_t size, uint8_t value) noexcept;

// Overwrites a string's whole buffer, capacity included, in a way the optimiser cannot
// drop, and empties it. The buffer stays for reuse.
void WipeString(std::string& text) noexcept;

// A key phrase that owns its text and leaves no readable copy behind: its buffer is wiped
// when it goes, before it takes new text, and when it is moved from (the moved-to side
// steals the buffer or gets a copy; what stays behind is wiped either way). It cannot be
// copied implicitly; Assign makes a copy on purpose.
class TSecretText {
public:
    TSecretText() noexcept = default;
    explicit TSecretText(std::string_view text) { Assign(text); }
    ~TSecretText() { Scrub(); }
    TSecretText(const TSecretText&) = delete;
    TSecretText& operator=(const TSecretText&) = delete;
    TSecretText(TSecretText&& other) noexcept;
    TSecretText& operator=(TSecretText&& other) noexcept;
    TSecretText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }

    // Replaces the text; the old bytes are wiped whether or not the buffer has to grow.
    void Assign(std::string_view text);
    void Scrub() noexcept { WipeString(m_text); }

    std::string_view View() const noexcept { return m_text; }
    const char* CStr() const noexcept { return m_text.c_str(); }
    size_t Size() const noexcept { return m_text.size(); }
    bool Empty() const noexcept { return m_text.empty(); }

    // For readers that fill the phrase in place (a terminal, a file, an edit field): what
    // they leave in it is wiped with it.
    std::string& Buffer() noexcept { return m_text; }

private:
    std::string m_text;
};

} // namespace lw
