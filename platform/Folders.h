#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

// Folder operations for the per-user desktop folders.
namespace lw {

// Creates `dir` and any missing parents with `mode`; true when it is a folder afterwards.
bool MakeFolders(const std::string& dir, mode_t mode = 0755);
// Names in `dir` (no "." or ".."), empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& dir);
// Removes `dir` only when it is empty.
void RemoveEmptyFolder(const std::string& dir);
// Sets the folder's modification time to now; caches that watch it rescan.
void TouchFolder(const std::string& dir);
// Something of any kind stands at `path`, a dangling symlink included.
bool EntryExists(const std::string& path);

} // namespace lw
