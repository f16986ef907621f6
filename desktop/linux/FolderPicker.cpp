#include "desktop/linux/FolderPicker.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QUrl>

#include "platform/FileSystem.h"

namespace lw {
namespace {

TFolderChooser& Chooser()
{
    static TFolderChooser chooser;
    return chooser;
}

std::optional<std::string> RunDialog(const std::string& caption, const std::string& root, const std::string& initial)
{
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(caption));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowModality(Qt::ApplicationModal);
    const QString rootDir = QString::fromStdString(root);
    if (!root.empty() && fs::DirectoryExists(root))
        dialog.setSidebarUrls({QUrl::fromLocalFile(rootDir)});
    if (!initial.empty())
        dialog.setDirectory(QString::fromStdString(initial));
    else
        dialog.setDirectory(root.empty() ? QDir::homePath() : rootDir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(dialog.selectedFiles().first()).toStdString();
}

} // namespace

bool PickFolder(const std::string& caption, const std::string& root, std::string& folder)
{
    if (!fs::DirectoryExists(folder))
        folder.clear();
    try {
        const auto chosen = Chooser() ? Chooser()(caption, root, folder) : RunDialog(caption, root, folder);
        if (!chosen)
            return false;
        folder = *chosen;
        return true;
    } catch (...) {
        // The picker reports every problem as a cancel.
        return false;
    }
}

void SetFolderChooserForTesting(TFolderChooser chooser)
{
    Chooser() = std::move(chooser);
}

} // namespace lw
