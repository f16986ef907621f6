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

// Run: the jobs; Usage: the whole usage; CommandUsage: the usage of Command alone.
enum class TCliAction { Run, Usage, CommandUsage, Version };

struct TCliOptions {
    TCliAction Action = TCliAction::Run;
    TCommand Command = TCommand::Encrypt;
    int32_t CipherIndex = -1; // -1: the tool's default, Blowfish
    bool Compress = false;
    std::string DestinationFolder;
    bool DeleteSource = false;
    bool KeepDoubtful = false;                 // keep a decrypted file that looks like no known kind
    std::optional<TMsgDlgBtn> OverwriteAnswer; // Ignore (--overwrite) or Yes (--new-name)
    bool Yes = false;
    bool Quiet = false;                    // no progress line
    std::optional<std::string> PhraseFile; // "-" for standard input
    std::vector<std::string> Files;        // at least one when running, in the order given
};

class EUsage : public Exception {
    using Exception::Exception;
};

// The arguments after the program name; raises EUsage for anything it can't take, before
// any file is touched.
TCliOptions ParseArguments(const std::vector<std::string>& args);

// The command a first argument names, if any.
std::optional<TCommand> CommandNamed(std::string_view name);

// rc4, blowfish, serpent, rijndael in any letter case, or 0 to 3; -1 otherwise.
int32_t CipherIndexFromName(std::string_view name);

// The usage of one command, or of the whole tool.
std::string UsageText(std::optional<TCommand> command);

} // namespace lw::cli
