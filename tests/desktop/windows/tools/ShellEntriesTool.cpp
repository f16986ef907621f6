// Writes or removes the shell entries for a given program path, for the script that reads
// them back with Wine's own registry tool: shell_entries_tool install <path> | remove.
#include <cstdio>
#include <string>

#include "platform/Exception.h"
#include "desktop/ShellEntries.h"

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "install" && argc == 3) {
            lw::InstallShellEntries(argv[2]);
            return 0;
        }
        if (command == "remove" && argc == 2) {
            lw::RemoveShellEntries();
            return 0;
        }
    } catch (const lw::Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: shell_entries_tool install <program path> | remove\n");
    return 2;
}
