#pragma once
#include <cstddef>
#include <string>

#include "platform/Exception.h"
#include "platform/Terminal.h"

namespace lw::cli {

// The longest key phrase taken; reading stops one byte past it.
constexpr size_t kMaxPhraseBytes = 65536;

// Sets phrase to the bytes of the file up to its first line end, without a UTF-8
// byte-order mark at its start; "-" reads standard input. Reads at most kMaxPhraseBytes + 1 bytes. Raises EPhrase when
// the file cannot be read or the phrase is longer than kMaxPhraseBytes.
void ReadPhraseFile(const std::string& path, std::string& phrase);

// Asks on the terminal without echo; twice when encrypting, refusing two different
// answers. Raises EPhrase with the reason when no phrase is had.
void AskPhrase(TTerminal& terminal, bool twice, std::string& phrase);

class EPhrase : public Exception {
    using Exception::Exception;
};

} // namespace lw::cli
