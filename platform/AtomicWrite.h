#pragma once
#include <string>
#include <string_view>
#include <sys/types.h>

// Files that other programs read at any moment (file managers, launchers) are put in
// place by renaming a complete temporary file, so no reader ever sees half of one.
namespace lw {

// Writes `content` beside `path`, gives it exactly `mode` and renames it over `path`.
// False when any step fails; the temporary file is gone then.
bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode);

// Makes `path` a symbolic link to `target`, replacing whatever link or file was there.
bool CreateSymlinkAtomically(const std::string& target, const std::string& path);

} // namespace lw
