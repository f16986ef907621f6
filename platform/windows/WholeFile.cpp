#include "platform/WholeFile.h"

#include <fcntl.h>

#include "platform/FileSystem.h"
#include "platform/windows/Win32Files.h"
#include "platform/windows/Unicode.h"

namespace lw {

mode_t FilePermissions(const std::string& path, mode_t fallback)
{
    // No permission bits on Windows: only the read-only attribute says anything.
    const DWORD attributes = ::GetFileAttributesW(win::WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fallback;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
}

std::string FollowSymlinks(const std::string& path)
{
    // The program's files on Windows are never links it made; a link is written through
    // as it stands.
    return path;
}

} // namespace lw
