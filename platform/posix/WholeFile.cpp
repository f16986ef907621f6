#include "platform/WholeFile.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/FileSystem.h"

namespace lw {

mode_t FilePermissions(const std::string& path, mode_t fallback)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return fallback;
    return st.st_mode & 07777;
}

std::string FollowSymlinks(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

} // namespace lw
