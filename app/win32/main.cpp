// The program: without an argument one question about the shell entries, with a file the
// window in encrypt or decrypt mode. Further arguments are ignored.
#include <windows.h>

#include <exception>
#include <string>

#include "app/StartUp.h"
#include "app/win32/Win32AskUser.h"
#include "app/win32/Win32Window.h"
#include "platform/AbsolutePath.h"
#include "platform/Path.h"
#include "platform/ProgramPath.h"
#include "platform/TempFileCleanup.h"
#include "shell/ShellEntries.h"

namespace {

int RegistrationRun()
{
    lw::win32::TWin32AskUser ask;
    try {
        switch (ask.AskUser(lw::TMsgDlgType::mtConfirmation, lw::kRegistrationQuestion,
                            lw::mbYes | lw::mbNo | lw::mbIgnore)) {
        case lw::mbYes: lw::InstallShellEntries(); break;
        case lw::mbNo: lw::RemoveShellEntries(); break;
        default: break;
        }
        return 0;
    } catch (const std::exception& e) {
        lw::win32::ShowFatalError(e.what());
    } catch (...) {
        lw::win32::ShowFatalError("Unknown failure");
    }
    return 1;
}

// Decrypt mode: the path's extension, with A to Z lower-cased, contains ".fe".
bool IsDecryptPath(const std::string& path)
{
    return lw::path::LowerAscii(lw::path::ExtractFileExt(path)).find(".fe") != std::string::npos;
}

int WindowRun(const std::string& sourcePath)
{
    // The settings and the saved folders sit beside the program, named after it.
    const std::string base = lw::path::PathWithoutExt(lw::ProgramPath());
    lw::win32::TWin32AskUser ask;
    try {
        lw::win32::TWin32Window window(sourcePath, base + ".ini", base + ".dat", ask);
        window.SetUpForMode(IsDecryptPath(sourcePath));
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
    // An interrupted job must not leave a named working file (decrypted plaintext) behind.
    lw::InstallTempFileCleanup();
    if (argc < 2)
        return RegistrationRun();
    // Made whole, so that the window, its jobs and hand-offs all see where the file is.
    const std::string arg = argv[1];
    return WindowRun(arg.empty() ? arg : lw::path::AbsolutePath(arg));
}
