#pragma once
#include <string>

namespace lw {

// Opens the file with the application its type is associated with, and does not wait.
// Linux: starts the desktop's opener (xdg-open, else `gio open`), which is not our child,
// so it leaves no zombie; some openers run the viewer in the foreground. Windows: the
// shell's default action through ShellExecuteA. True when an opener was started; what it
// then does is not known.
bool OpenDetached(const std::string& path);

} // namespace lw
