#pragma once
#include <string>

class QApplication;

// The clipboard side of the hand-off. On Linux the clipboard is served by the program
// that set it, so a program that copies a file and ends must stay until it is replaced.
namespace lw {

inline constexpr const char* kFileDropMimeType = "application/x-lockwell-file-drop";

// Replaces the clipboard's content with the file in the formats file managers paste,
// the plain path and the file-drop block. Raises "Cannot open clipboard".
void PlaceFileOnClipboard(const std::string& path);

// Whether this process still serves a file drop it placed.
bool ClipboardHeld();

// Runs without a window while ClipboardHeld(): ends when another program takes the
// clipboard, on SIGTERM, SIGHUP or SIGINT, or after limitMs when that is above zero.
void LingerForClipboard(QApplication& app, int limitMs = 0);

} // namespace lw
