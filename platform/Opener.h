#pragma once
#include <string>

namespace lw {

// Starts the desktop's opener (xdg-open, else `gio open`) on the file and does not wait:
// some openers run the viewer in the foreground. The opener is not our child, so it
// leaves no zombie. True when an opener was started; what it then does is not known.
bool OpenDetached(const std::string& path);

} // namespace lw
