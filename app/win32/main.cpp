// The program: without an argument one question about the shell entries, with a file the
// window in encrypt or decrypt mode. Further arguments are ignored.
#include <windows.h>

#include <exception>
#include <string>

#include "app/core/SettingsFiles.h"
#include "app/core/StartRules.h"
#include "app/win32/Win32AskUser.h"
#include "app/win32/Win32Window.h"
#include "platform/Path.h"
#include "platform/ProgramPath.h"
#include "platform/ProcessGuard.h"
#include "platform/TempFileCleanup.h"
#include "desktop/ShellEntries.h"

namespace {

int RegistrationRun()
{
    lw::win32::TWin32AskUser ask;
    return lw::RunRegistration(
        ask, {.Install = [] { lw::InstallShellEntries(); },
              .Remove = [] { lw::RemoveShellEntries(); },
              .ShowFatalError = [](const std::string& reason) { lw::win32::ShowFatalError(reason); }});
}

int WindowRun(const std::string& sourcePath)
{
    const lw::TSettingsFiles files = lw::TSettingsFiles::ForThisProgram();
    lw::win32::TWin32AskUser ask;
    try {
        lw::win32::TWin32Window window(sourcePath, files.SettingsPath(), files.FolderListPath(), ask);
        window.SetUpForMode(lw::IsDecryptPath(sourcePath));
        window.Run();
    } catch (const std::exception& e) {
        lw::win32::ShowFatalError(e.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    lw::HardenProcess();
    // An interrupted job must not leave a named working file (decrypted plaintext) behind.
    lw::InstallTempFileCleanup();
    const std::vector<std::string> args = lw::ProgramArguments(argc, argv);
    if (args.empty())
        return RegistrationRun();
    return WindowRun(lw::WindowFilePath(args[0]));
}
