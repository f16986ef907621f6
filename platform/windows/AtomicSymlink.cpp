#include "platform/AtomicWrite.h"

namespace lw {

bool CreateSymlinkAtomically(const std::string&, const std::string&)
{
    // Symbolic links need a privilege ordinary Windows users lack, and nothing on
    // Windows asks the program for one.
    return false;
}

} // namespace lw
