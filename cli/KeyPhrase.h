#pragma once
#include <cstddef>
#include <string>

#include "platform/Exception.h"
#include "platform/Terminal.h"

namespace lw::cli {

// The longest key phrase taken; reading stops one byte past it.
constexpr size_t kMaxPhraseBytes = 65536;

// Overwrites the string's whole buffer, capacity included, so that a phrase which
// was shortened or grown in place leaves no bytes behind.
void Scrub(std::string& text) noexcept;

// Scrubs a string when it goes out of scope, however the scope is left.
class TScrubOnExit {
public:
    explicit TScrubOnExit(std::string& text) noexcept : m_text(text) {}
    ~TScrubOnExit() { Scrub(m_text); }
    TScrubOnExit(const TScrubOnExit&) = delete;
    TScrubOnExit& operator=(const TScrubOnExit&) = delete;

private:
    std::string& m_text;
};

// Sets phrase to the bytes of the file up to its first line end; "-" reads standard
// input. Reads at most kMaxPhraseBytes + 1 bytes. Raises EPhrase when the file cannot
// be read or the phrase is longer than kMaxPhraseBytes.
void ReadPhraseFile(const std::string& path, std::string& phrase);

// Asks on the terminal without echo; twice when encrypting, refusing two different
// answers. Raises EPhrase with the reason when no phrase is had.
void AskPhrase(TTerminal& terminal, bool twice, std::string& phrase);

class EPhrase : public Exception { using Exception::Exception; };

} // namespace lw::cli
