// <windows.h> first: the header below takes back the names that it maps.
#include <windows.h>

#include <array>

#include "platform/ProfileFile.h"
#include "platform/windows/Unicode.h"

// The system's own profile-file calls.
namespace lw::profile {

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& path)
{
    std::array<wchar_t, kMaxValueLength + 1> value{};
    const DWORD length =
        GetPrivateProfileStringW(win::Wide(section).c_str(), win::Wide(key).c_str(), win::Wide(defaultValue).c_str(),
                                 value.data(), static_cast<DWORD>(value.size()), win::WidePath(path).c_str());
    return win::Narrow(std::wstring_view(value.data(), length));
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path)
{
    return WritePrivateProfileStringW(win::Wide(section).c_str(), win::Wide(key).c_str(), win::Wide(value).c_str(),
                                      win::WidePath(path).c_str()) != FALSE;
}

} // namespace lw::profile
