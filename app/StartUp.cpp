#include "app/StartUp.h"

#include <exception>

#include "app/ErrorBox.h"
#include "platform/AbsolutePath.h"
#include "platform/Path.h"
#include "shell/ShellEntries.h"

namespace lw {

const char* const kStartUsage =
    "usage: lockwell [FILE]\n"
    "       lockwell --help | --version\n"
    "\n"
    "  without FILE  asks whether to add Lockwell to the file managers' menus (Yes)\n"
    "                or to take it out of them (No)\n"
    "  FILE          opens the window on FILE: to decrypt it when its extension holds\n"
    "                \".fe\", else to encrypt it\n"
    "  A FILE named like an option is reached through its folder, as ./--help.\n";

TStartAction StartActionFor(const std::vector<std::string>& args)
{
    if (args.empty())
        return TStartAction::Registration;
    if (args[0] == "--help")
        return TStartAction::Help;
    if (args[0] == "--version")
        return TStartAction::Version;
    return TStartAction::Window;
}

std::string WindowFilePath(const std::string& arg)
{
    return arg.empty() ? arg : path::AbsolutePath(arg);
}

bool IsDecryptPath(const std::string& path)
{
    return path::LowerAscii(path::ExtractFileExt(path)).find(".fe") != std::string::npos;
}

TRegistrationChoice AskRegistration(IAskUser& ask)
{
    switch (ask.AskUser(TMsgDlgType::mtConfirmation, kRegistrationQuestion, mbYes | mbNo | mbIgnore)) {
    case mbYes: return TRegistrationChoice::Install;
    case mbNo: return TRegistrationChoice::Remove;
    default: return TRegistrationChoice::Nothing;
    }
}

int RunRegistration(IAskUser& ask, const std::string& programPath)
{
    try {
        switch (AskRegistration(ask)) {
        case TRegistrationChoice::Install:
            if (programPath.empty())
                InstallShellEntries();
            else
                InstallShellEntries(programPath);
            break;
        case TRegistrationChoice::Remove: RemoveShellEntries(); break;
        case TRegistrationChoice::Nothing: break;
        }
        return 0;
    } catch (const std::exception& e) {
        ShowFatalError(e.what());
    } catch (...) {
        ShowFatalError("Unknown failure");
    }
    return 1;
}

} // namespace lw
