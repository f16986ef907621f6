// <windows.h> first: the header below takes back the names that it maps.
#include <windows.h>

#include <array>

#include "platform/ProfileFile.h"

// The system's own profile-file calls.
namespace lw::profile {

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& path)
{
    std::array<char, kMaxValueLength + 1> value{};
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), value.data(),
                                                  static_cast<DWORD>(value.size()), path.c_str());
    return std::string(value.data(), length);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path)
{
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

} // namespace lw::profile
