#include "desktop/linux/FindProgram.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace lw {

std::string FindProgramOnPath(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::string::size_type start = 0;
    while (start <= path.size()) {
        auto end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string folder = path.substr(start, end - start);
        start = end + 1;
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace lw
