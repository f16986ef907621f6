#include "platform/XdgDirs.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace lw::xdg {
namespace {

// Relative values are invalid by the rules and must be ignored.
std::string AbsoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

} // namespace

std::string HomeDir()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return "/";
}

std::string DataHome()
{
    std::string dir = AbsoluteVariable("XDG_DATA_HOME");
    return dir.empty() ? HomeDir() + "/.local/share" : dir;
}

std::string ConfigHome()
{
    std::string dir = AbsoluteVariable("XDG_CONFIG_HOME");
    return dir.empty() ? HomeDir() + "/.config" : dir;
}

std::vector<std::string> ConfigDirs()
{
    std::vector<std::string> dirs;
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    const std::string list = value != nullptr ? value : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string dir = list.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/')
            dirs.push_back(dir);
        start = end + 1;
    }
    if (dirs.empty())
        dirs.push_back("/etc/xdg");
    return dirs;
}

} // namespace lw::xdg
