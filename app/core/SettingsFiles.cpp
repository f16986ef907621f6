#include "app/core/SettingsFiles.h"

#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Path.h"
#include "platform/ProgramPath.h"

namespace lw {

TSettingsFiles::TSettingsFiles(const std::string& executablePath, const std::string& configHome)
{
    const std::string name = path::PathWithoutExt(path::ExtractFileName(executablePath));
    std::string folder = path::ExtractFilePath(executablePath);
    const std::string beside = folder.empty() ? std::string(".") : folder;
    if (!fs::DirectoryExists(beside) || !CanWriteIn(beside) || IsSystemProgramFolder(folder)) {
        folder = configHome + path::kSeparator + kSettingsFolderName + path::kSeparator;
        // Best effort: an uncreatable folder shows up as a failed write later.
        MakeFolders(folder, 0700);
    }
    m_base = folder + name;
}

TSettingsFiles TSettingsFiles::ForThisProgram()
{
    return TSettingsFiles(ProgramPath(), UserSettingsHome());
}

} // namespace lw
