#include "platform/ProgramPath.h"
#include "shell/ShellEntries.h"

// Apart from the rows, so that a program which names its own path does not need this one's.
namespace lw {

void InstallShellEntries()
{
    InstallShellEntries(ProgramPath());
}

} // namespace lw
