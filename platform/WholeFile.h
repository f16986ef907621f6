#pragma once
#include <string>
#include <sys/types.h>

// Small configuration files read in one piece.
namespace lw {

// The file's bytes in `content`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);
// The permission bits of the file at `path`, or `fallback` when there is none.
mode_t FilePermissions(const std::string& path, mode_t fallback);
// Where a write to `path` should go so that a symlinked file (a dotfile kept
// elsewhere) stays a symlink: the link's final target, or `path` itself.
std::string FollowSymlinks(const std::string& path);

} // namespace lw
