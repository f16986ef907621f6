#include "platform/Folders.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

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

bool RemoveEmptyFolder(const std::string& dir)
{
    return ::rmdir(dir.c_str()) == 0;
}

void RemoveEmptyFoldersUpTo(const std::string& top, const std::string& dir)
{
    std::string folder = dir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    while (folder.size() > top.size() + 1 && folder.compare(0, top.size() + 1, top + "/") == 0) {
        // rmdir refuses a folder with anything in it, so nothing foreign can go.
        if (!RemoveEmptyFolder(folder))
            return;
        folder.erase(folder.rfind('/'));
    }
}

bool HoldsNothingBut(const std::string& dir, const std::string& allowed)
{
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr)
        return false;
    std::vector<std::string> folders;
    bool onlyAllowed = true;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::lstat((dir + "/" + name).c_str(), &st) != 0) {
            onlyAllowed = false;
            break;
        }
        if (S_ISDIR(st.st_mode))
            folders.push_back(name);
        else if (name != allowed) {
            onlyAllowed = false;
            break;
        }
    }
    ::closedir(handle);
    for (const std::string& name : folders)
        onlyAllowed = onlyAllowed && HoldsNothingBut(dir + "/" + name, allowed);
    return onlyAllowed;
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

bool CanWriteIn(const std::string& dir)
{
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string UserSettingsHome()
{
    return xdg::ConfigHome();
}

} // namespace lw
