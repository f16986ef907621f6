#include "platform/ProgramPath.h"
#include "platform/windows/Unicode.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

namespace lw {

std::string ProgramPath()
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        // A full buffer means the name was cut short.
        if (n < buffer.size())
            return win::Narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

bool IsSystemProgramFolder(const std::string&)
{
    // A Windows program keeps its settings beside itself wherever it stands; where it
    // may not write, saving them fails quietly.
    return false;
}

std::vector<std::string> ProgramArguments(int, char**)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(win::Narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

} // namespace lw
