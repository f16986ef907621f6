// The program: without an argument one question about the desktop entries, with a file
// the window in encrypt or decrypt mode, with --help or --version a line or two on
// standard output. Further arguments are ignored.
#include <QApplication>
#include <QIcon>
#include <QStyleFactory>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "desktop/linux/Clipboard.h"
#include "desktop/linux/DesktopHandOff.h"
#include "app/qt/MessageDialog.h"
#include "app/core/SettingsFiles.h"
#include "app/qt/ErrorBox.h"
#include "app/qt/StartUp.h"
#include "app/qt/Unit1.h"
#include "platform/ProgramPath.h"
#include "platform/ProcessGuard.h"
#include "platform/TempFileCleanup.h"
#include "platform/Version.h"

namespace {

int RegistrationRun()
{
    lw::TMessageDialog ask;
    return lw::RunRegistration(ask);
}

int WindowRun(QApplication& app, const std::string& sourcePath)
{
    lw::TMessageDialog ask;
    lw::TDesktopHandOff handOff(ask);
    {
        lw::TForm1 form(sourcePath, lw::TSettingsFiles::ForThisProgram(), ask, handOff);
        ask.SetOwner(&form);
        form.SetUpForMode(lw::IsDecryptPath(sourcePath));
        form.show();
        app.exec();
    }
    // A file left on the clipboard is served until another program takes the clipboard.
    if (lw::ClipboardHeld())
        lw::LingerForClipboard(app);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Taken before Qt sees the command line, which would eat a path that looks like a Qt option.
    const std::vector<std::string> args = lw::ProgramArguments(argc, argv);
    const lw::TStartAction action = lw::StartActionFor(args);
    // Before any Qt object, so that these work without a display.
    if (action == lw::TStartAction::Help) {
        std::fputs(lw::kStartUsage, stdout);
        return 0;
    }
    if (action == lw::TStartAction::Version) {
        std::printf("lockwell %s\n", lw::kLockwellVersion);
        return 0;
    }
    const std::optional<std::string> sourcePath =
        action == lw::TStartAction::Window ? std::optional<std::string>(lw::WindowFilePath(args[0])) : std::nullopt;
    lw::HardenProcess();
    // An interrupted job must not leave a named working file (decrypted plaintext) behind.
    lw::InstallTempFileCleanup();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lockwell");
    QGuiApplication::setDesktopFileName("lockwell");
    // The window places its controls by the pixel; one style keeps every caption inside them.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setWindowIcon(lw::ProgramIcon());
    return sourcePath ? WindowRun(app, *sourcePath) : RegistrationRun();
}
