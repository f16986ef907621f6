#include "platform/AtomicWrite.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw {

bool CreateSymlinkAtomically(const std::string& target, const std::string& path)
{
    const std::string folder = path::ExtractFilePath(path);
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".lockwell-%08x.lnk", static_cast<unsigned>(random()));
        const std::string temp = folder + name;
        if (::symlink(target.c_str(), temp.c_str()) != 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (fs::Rename(temp, path) == 0)
            return true;
        fs::Unlink(temp);
        return false;
    }
    return false;
}

} // namespace lw
