#include "platform/Folders.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace lw {

bool MakeFolders(const std::string& dir, mode_t mode)
{
    std::string folder = dir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return false;
    if (fs::DirectoryExists(folder))
        return true;
    const auto slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), mode))
        return false;
    if (::mkdir(folder.c_str(), mode) == 0)
        return true;
    // Another process may have made it meanwhile.
    return errno == EEXIST && fs::DirectoryExists(folder);
}

std::vector<std::string> ListFolder(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr)
        return names;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(handle);
    return names;
}

void RemoveEmptyFolder(const std::string& dir)
{
    ::rmdir(dir.c_str());
}

void TouchFolder(const std::string& dir)
{
    ::utimensat(AT_FDCWD, dir.c_str(), nullptr, 0);
}

bool EntryExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace lw
