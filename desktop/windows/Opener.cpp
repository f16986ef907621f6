#include "desktop/Opener.h"
#include "platform/windows/Unicode.h"

#include <windows.h>

namespace lw {

bool OpenDetached(const std::string& path)
{
    // The type's default verb, no owner, parameters or working folder.
    const HINSTANCE result = ShellExecuteW(nullptr, nullptr, win::Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace lw
