// The program: without an argument one question about the desktop entries, with a file
// the window in encrypt or decrypt mode. Further arguments are ignored.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStyleFactory>
#include <optional>
#include <string>

#include "app/Clipboard.h"
#include "app/DesktopHandOff.h"
#include "app/MessageDialog.h"
#include "app/SettingsFiles.h"
#include "app/StartUp.h"
#include "app/Unit1.h"
#include "platform/TempFileCleanup.h"

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
    const std::optional<std::string> sourcePath = argc > 1 ? std::optional<std::string>(argv[1]) : std::nullopt;
    // An interrupted job must not leave a named working file (decrypted plaintext) behind.
    lw::InstallTempFileCleanup();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lockwell");
    QGuiApplication::setDesktopFileName("lockwell");
    // The window places its controls by the pixel; one style keeps every caption inside them.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    if (QFile::exists(":/icons/lockwell-32.png"))
        QApplication::setWindowIcon(QIcon(":/icons/lockwell-32.png"));
    return sourcePath ? WindowRun(app, *sourcePath) : RegistrationRun();
}
