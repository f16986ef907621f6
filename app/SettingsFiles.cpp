#include "app/SettingsFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/Path.h"
#include "platform/ProgramPath.h"

namespace lw {

TSettingsFiles::TSettingsFiles(const std::string& executablePath, const std::string& configHome)
{
    const std::string name = path::PathWithoutExt(path::ExtractFileName(executablePath));
    std::string folder = path::ExtractFilePath(executablePath);
    const QFileInfo beside(QString::fromStdString(folder.empty() ? std::string(".") : folder));
    if (!beside.isDir() || !beside.isWritable() || IsSystemProgramFolder(folder)) {
        folder = configHome + path::kSeparator + "lockwell" + path::kSeparator;
        // Best effort: an uncreatable folder shows up as a failed write later.
        QDir().mkpath(QString::fromStdString(folder));
    }
    m_base = folder + name;
}

TSettingsFiles TSettingsFiles::ForThisProgram()
{
    return TSettingsFiles(QCoreApplication::applicationFilePath().toStdString(),
                          QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString());
}

} // namespace lw
