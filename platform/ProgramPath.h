#pragma once
#include <string>
#include <vector>

namespace lw {

// The absolute path of the running executable, or empty when the system cannot say.
std::string ProgramPath();

// The arguments after the program's name, in the program's text (UTF-8). On Windows they
// come from the wide command line, not from argv in the code page, which would turn
// names it lacks into near ones.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True for a folder the package manager owns (/usr/..., /bin, /sbin): settings never go
// beside a program installed there, even when root could write them.
bool IsSystemProgramFolder(const std::string& folder);

} // namespace lw
