#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/AskUser.h"
#include "platform/Exception.h"

namespace lw::cli {

enum class TCommand { Encrypt, Decrypt, Wipe };

struct TCliOptions {
    TCommand Command = TCommand::Encrypt;
    bool Help = false;
    int32_t CipherIndex = -1; // -1: the window's saved choice
    bool Compress = false;
    std::string DestinationFolder;
    bool DeleteSource = false;
    std::optional<TMsgDlgBtn> OverwriteAnswer; // Ignore (--overwrite) or Yes (--new-name)
    bool Yes = false;
    bool Quiet = false; // no progress line
    std::optional<std::string> PhraseFile; // "-" for standard input
    std::string File;
};

class EUsage : public Exception { using Exception::Exception; };

// The arguments after the program name; raises EUsage for anything it can't take.
TCliOptions ParseArguments(const std::vector<std::string>& args);

// rc4, blowfish, serpent, rijndael in any letter case, or 0 to 3; -1 otherwise.
int32_t CipherIndexFromName(std::string_view name);

extern const char* const kUsage;

} // namespace lw::cli
