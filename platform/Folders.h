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
// Removes `dir` only when it is empty; true when it went.
bool RemoveEmptyFolder(const std::string& dir);
// Removes `dir`, then each folder above it up to but not including `top`, while they
// are empty; stops at the first that is not. Nothing happens unless `dir` lies below
// `top`; both are written without a trailing "/" (one on `dir` is ignored).
void RemoveEmptyFoldersUpTo(const std::string& top, const std::string& dir);
// True when nothing lies below `dir` but folders and entries named `allowed`; symlinks
// count as files and are not followed. False when `dir` cannot be read.
bool HoldsNothingBut(const std::string& dir, const std::string& allowed);
// Sets the folder's modification time to now; caches that watch it rescan.
void TouchFolder(const std::string& dir);
// Something of any kind stands at `path`, a dangling symlink included.
bool EntryExists(const std::string& path);
// Whether this process may make files in `dir` (Windows asks its access lists by trying).
bool CanWriteIn(const std::string& dir);

// The user's own settings folder ($XDG_CONFIG_HOME, default ~/.config; %APPDATA% on
// Windows), and the name of Lockwell's folder inside it.
std::string UserSettingsHome();
#ifdef _WIN32
inline constexpr const char* kSettingsFolderName = "Lockwell";
#else
inline constexpr const char* kSettingsFolderName = "lockwell";
#endif

} // namespace lw
