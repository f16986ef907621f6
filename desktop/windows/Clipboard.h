#pragma once
#include <string>

namespace lw {

// Replaces the clipboard's content with the file-drop block of path (format 15, the
// block from BuildFileDropBlock), which the clipboard keeps for good. owner is the
// application window (an HWND), or null: a hidden window of our own then opens the
// clipboard. Raises "Could not allocate memory." or "Cannot open clipboard".
void PutFileDropOnClipboard(const std::string& path, void* owner);

} // namespace lw
