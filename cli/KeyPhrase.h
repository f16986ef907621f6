#pragma once
#include <optional>
#include <string>

#include "platform/Exception.h"
#include "platform/Terminal.h"

namespace lw::cli {

// The bytes of the file up to its first line end; "-" reads standard input.
// Nothing when the file cannot be read.
std::optional<std::string> ReadPhraseFile(const std::string& path);

// Asks on the terminal without echo; twice when encrypting, refusing two different
// answers. Raises EPhrase with the reason when no phrase is had.
std::string AskPhrase(TTerminal& terminal, bool twice);

class EPhrase : public Exception { using Exception::Exception; };

} // namespace lw::cli
