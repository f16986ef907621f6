#pragma once
#include <string>

// Registration with the user's Linux desktops, the counterpart of the per-user shell
// entries: "Run Lockwell" in the file managers' menus for every file, and a file type
// for ".fe2" and ".fez" with the program's icon that opens with the program. Everything
// lives under $XDG_DATA_HOME and $XDG_CONFIG_HOME; the desktop entry marks it installed.
namespace lw {

inline constexpr const char* kShellEntryWriteError = "Failed to set data for ''";

// Does nothing when the marker exists. Otherwise writes every entry, skipping one whose
// folder cannot be created; a file that cannot be written raises kShellEntryWriteError.
void InstallShellEntries();
// The same for the program at `programPath` instead of the running executable.
void InstallShellEntries(const std::string& programPath);

// Deletes every file the install writes and takes our lines out of the shared files,
// whatever the state; failures are ignored.
void RemoveShellEntries();

} // namespace lw
