#pragma once
#include <string>

namespace lw {

// The first executable regular file called name in the folders of PATH, or empty.
// Empty PATH entries (the current folder) are not searched.
std::string FindProgramOnPath(const std::string& name);

} // namespace lw
