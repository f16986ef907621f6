#include "cli/DefaultCipher.h"

#include <string>

#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramPath.h"
#include "platform/XdgDirs.h"

namespace lw::cli {

int32_t DefaultCipherIndex()
{
    constexpr int32_t kBlowfish = 1;
    const std::string program = ProgramPath();
    const std::string candidates[] = {
        program.empty() || IsSystemProgramFolder(path::ExtractFilePath(program))
            ? std::string()
            : path::ExtractFilePath(program) + "lockwell.ini",
#ifdef _WIN32
        // Where the window keeps its settings on Windows: the program's path with ".ini".
        program.empty() ? std::string() : path::PathWithoutExt(program) + ".ini",
#else
        xdg::ConfigHome() + "/lockwell/lockwell.ini",
#endif
    };
    for (const std::string& settings : candidates) {
        if (settings.empty() || !fs::FileExists(settings))
            continue;
        const int32_t index = profile::ReadInteger("Options", "Cipher", kBlowfish, settings);
        return index >= 0 && index <= 3 ? index : kBlowfish;
    }
    return kBlowfish;
}

} // namespace lw::cli
