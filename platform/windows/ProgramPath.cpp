#include "platform/ProgramPath.h"

#include <windows.h>

#include <vector>

namespace lw {

std::string ProgramPath()
{
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        // A full buffer means the name was cut short.
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

bool IsSystemProgramFolder(const std::string&)
{
    // A Windows program keeps its settings beside itself wherever it stands; where it
    // may not write, saving them fails quietly.
    return false;
}

} // namespace lw
