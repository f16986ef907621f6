#pragma once
#include <string>

namespace lw {

// The system's modal folder-browsing dialog, titled with the caption, offering file-system
// folders only. The folder is the initial selection when it names an existing directory
// (otherwise it is emptied first) and, on true, the chosen folder's path. The root, when
// not empty, is where the tree starts (else at the desktop); it is 8-bit text in the
// system's code page like every path here. owner is the application window (an HWND), or
// null. The program's other windows are disabled while the dialog is open. Every problem,
// a cancel included, gives false; nothing is raised or shown.
bool PickFolder(const std::string& caption, const std::string& root, std::string& folder, void* owner);

} // namespace lw
