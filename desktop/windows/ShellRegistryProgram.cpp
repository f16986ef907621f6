#include "platform/ProgramPath.h"
#include "desktop/ShellEntries.h"

// Apart from the rows, so that a program which names its own path does not need this one's.
namespace lw {

void InstallShellEntries()
{
    InstallShellEntries(ProgramPath());
}

} // namespace lw
