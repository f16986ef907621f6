#include "desktop/linux/FolderPicker.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace {

struct Chooser {
    explicit Chooser(std::optional<std::string> answer)
    {
        lw::SetFolderChooserForTesting(
            [this, answer](const std::string& caption, const std::string& root, const std::string& initial) {
                calls.push_back(caption + "|" + root + "|" + initial);
                return answer;
            });
    }
    ~Chooser() { lw::SetFolderChooserForTesting({}); }
    std::vector<std::string> calls;
};

TEST(FolderPicker, ChecksTheInitialFolderAndHandsBackTheChoice)
{
    lwtest::TempDir dir;
    const std::string file = dir / "file";
    lwtest::WriteFile(file, {1});
    const struct {
        std::string initial;
        std::optional<std::string> answer;
        bool result;
        std::string offered; // the initial folder the chooser sees
        std::string after;
    } cases[] = {
        {"", std::nullopt, false, "", ""},
        {dir / "missing", std::nullopt, false, "", ""},
        {file, std::nullopt, false, "", ""}, // a file is not a folder
        {dir.Path(), std::nullopt, false, dir.Path(), dir.Path()},
        {dir / "missing", "/srv/a b", true, "", "/srv/a b"},
        {dir.Path(), "/srv", true, dir.Path(), "/srv"},
    };
    for (const auto& c : cases) {
        Chooser chooser(c.answer);
        std::string folder = c.initial;
        EXPECT_EQ(lw::PickFolder("Select a folder", "", folder), c.result) << c.initial;
        EXPECT_EQ(folder, c.after) << c.initial;
        EXPECT_EQ(chooser.calls, std::vector<std::string>{"Select a folder||" + c.offered});
    }
}

// The real dialog, driven once it is shown.
std::string RunDialog(const std::string& root, std::string& folder, bool accept, QString& title, QString& shownDir,
                      bool& directoriesOnly)
{
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        shownDir = dialog->directory().absolutePath();
        directoriesOnly = dialog->fileMode() == QFileDialog::Directory && dialog->testOption(QFileDialog::ShowDirsOnly);
        QDialog* box = dialog; // accept() is public on QDialog
        accept ? box->accept() : box->reject();
    });
    return lw::PickFolder("Select a folder", root, folder) ? "chosen" : "cancelled";
}

TEST(FolderPicker, RunsAModalDirectoryDialog)
{
    lwtest::TempDir dir;
    QString title, shown;
    bool directoriesOnly = false;

    std::string folder = dir.Path();
    EXPECT_EQ(RunDialog("", folder, true, title, shown, directoriesOnly), "chosen");
    EXPECT_EQ(title, "Select a folder");
    EXPECT_TRUE(directoriesOnly);
    EXPECT_EQ(shown.toStdString(), dir.Path()) << "the initial folder is preselected";
    EXPECT_EQ(folder, dir.Path());

    folder = dir.Path();
    EXPECT_EQ(RunDialog("", folder, false, title, shown, directoriesOnly), "cancelled");
    EXPECT_EQ(folder, dir.Path());

    folder.clear();
    EXPECT_EQ(RunDialog(dir.Path(), folder, false, title, shown, directoriesOnly), "cancelled");
    EXPECT_EQ(shown.toStdString(), dir.Path()) << "browsing starts at the root";
    EXPECT_EQ(folder, "");
}

} // namespace
