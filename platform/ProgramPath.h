#pragma once
#include <string>

namespace lw {

// The absolute path of the running executable, or empty when the system cannot say.
std::string ProgramPath();

// True for a folder the package manager owns (/usr/..., /bin, /sbin): settings never go
// beside a program installed there, even when root could write them.
bool IsSystemProgramFolder(const std::string& folder);

} // namespace lw
