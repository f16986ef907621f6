#include "platform/WholeFile.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/FileSystem.h"

namespace lw {

bool ReadWholeFile(const std::string& path, std::string& content)
{
    const int fd = fs::Open(path, O_RDONLY);
    if (fd < 0)
        return false;
    std::string data;
    char buffer[16384];
    ssize_t n;
    while ((n = fs::Read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<size_t>(n));
    fs::Close(fd);
    if (n < 0)
        return false;
    content = std::move(data);
    return true;
}

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
