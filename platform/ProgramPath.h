#pragma once
#include <string>

namespace lw {

// The absolute path of the running executable, or empty when the system cannot say.
std::string ProgramPath();

} // namespace lw
