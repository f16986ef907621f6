#include "platform/AtomicWrite.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <span>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw {

bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode)
{
    try {
        TAtomicFile file(path, mode);
        file.Stream().WriteBuffer(std::span(reinterpret_cast<const uint8_t*>(content.data()), content.size()));
        file.Commit(TCommitMode::Replace);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

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
