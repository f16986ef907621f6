#pragma once
#include <string>

// Registration with the desktop shell for the current user: "Run Lockwell" in the menus
// of every file, and a file type for ".fe2" and ".fez" with the program's icon that opens
// with the program. On Linux everything lives under $XDG_DATA_HOME and $XDG_CONFIG_HOME
// and the desktop entry marks it installed; on Windows the keys live under
// HKEY_CURRENT_USER "software\classes" and the verb's key marks it installed.
namespace lw {

inline constexpr const char* kShellEntryWriteError = "Failed to set data for ''";

// Does nothing when the marker exists. Otherwise writes every entry, skipping one whose
// folder (key) cannot be created; a file (value) that cannot be written raises
// kShellEntryWriteError.
void InstallShellEntries();
// The same for the program at `programPath` instead of the running executable.
void InstallShellEntries(const std::string& programPath);

// Deletes every file (key) the install writes and takes our lines out of the shared
// files, whatever the state; failures are ignored.
void RemoveShellEntries();

} // namespace lw
