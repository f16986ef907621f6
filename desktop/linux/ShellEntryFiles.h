#pragma once
#include <string>

// The contents of the files that register the program with Linux desktops. `program`
// is the path every command line starts, unquoted; each file quotes it for its own
// parser.
namespace lw {

inline constexpr const char* kDesktopId = "lockwell.desktop";
inline constexpr const char* kMimeType = "application/x-lockwell-encrypted";
inline constexpr const char* kMimeIconName = "application-x-lockwell-encrypted";
inline constexpr const char* kThunarUniqueId = "lockwell-run-lockwell";

// Opener and marker of the installed state: applications/lockwell.desktop.
std::string DesktopEntryFile(const std::string& program);
// The file type for ".fe2" and ".fez": mime/packages/lockwell-encrypted.xml.
std::string MimePackageFile();
// KDE service menu; the legacy folder's copy also names its service type.
std::string KdeServiceMenuFile(const std::string& program, bool legacy);
// GNOME Files or Caja script: starts the program for the first selected file, taken
// from `pathsVariable` (the file manager's newline-separated list of exact paths) when
// set, else from the first argument. A folder is skipped; a missing file is reported
// through notify-send when present, else left to the program.
std::string FileManagerScriptFile(const std::string& program, const std::string& pathsVariable);
inline constexpr const char* kNautilusPathsVariable = "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS";
inline constexpr const char* kCajaPathsVariable = "CAJA_SCRIPT_SELECTED_FILE_PATHS";
// Nemo action.
std::string NemoActionFile(const std::string& program);
// FileManager-Actions entry, read by Caja-actions and PCManFM.
std::string FileManagerActionFile(const std::string& program);
// One <action> element for Thunar's uca.xml, without a line end.
std::string ThunarActionElement(const std::string& program);

} // namespace lw
