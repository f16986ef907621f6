#pragma once
#include <string>

#include "jobs/AskUser.h"
#include "jobs/Jobs.h"

namespace lw {

enum class TJobKind { Encrypt, Decrypt };

// Encrypt: the source plus ".fez" or ".fe2"; decrypt: the source without its extension.
// Moved into DestinationFolder when one is set.
std::string OutputPath(const TJobOptions& options, TJobKind kind);

// When a file exists at outputPath, asks whether to pick a new name, stop or overwrite.
// False when the user chose to stop; outputPath may have changed to a free name.
bool SettleExistingOutput(std::string& outputPath, TJobKind kind, IAskUser& ask);

// The first free name with a number before the extension; tells the user which.
std::string UniqueOutputName(const std::string& path, IAskUser& ask);

} // namespace lw
