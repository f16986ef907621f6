#include "app/qt/StartUp.h"

#include "app/qt/ErrorBox.h"
#include "desktop/ShellEntries.h"

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

int RunRegistration(IAskUser& ask, const std::string& programPath)
{
    return RunRegistration(ask, {.Install =
                                     [&] {
                                         if (programPath.empty())
                                             InstallShellEntries();
                                         else
                                             InstallShellEntries(programPath);
                                     },
                                 .Remove = [] { RemoveShellEntries(); },
                                 .ShowFatalError = [](const std::string& reason) { ShowFatalError(reason); }});
}

} // namespace lw
