#include "platform/ProgramPath.h"

#include <unistd.h>
#include <vector>

namespace lw {

std::string ProgramPath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

bool IsSystemProgramFolder(const std::string& folder)
{
    for (const char* root : {"/usr/", "/bin/", "/sbin/"}) {
        const std::string prefix(root);
        if (folder.compare(0, prefix.size(), prefix) == 0 || folder + "/" == prefix)
            return true;
    }
    return false;
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

} // namespace lw
