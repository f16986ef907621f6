#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// <windows.h> maps these names onto its ANSI or wide calls; ours keep their own names.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

// Profile ("ini") files: "[Section]" lines followed by "Key=Value" lines, CRLF line ends.
// Section and key names match without regard to letter case.
namespace lw::profile {

inline constexpr std::size_t kMaxValueLength = 2047;

// The key's value (blanks around it and one pair of enclosing quotes dropped), cut to
// kMaxValueLength characters; the default when the file, the section or the key is missing.
std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& path);

// Creates the file, the section and the key as needed and replaces the old value; other
// lines keep their text. False when the file cannot be read back or written.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits after
// 0x, 0X, $, x or X; nothing may follow. False for any other text or a value that does
// not fit 32 bits (hexadecimal may use all 32 bits and wraps to negative).
bool ParseInteger(std::string_view text, int32_t& value);

// GetPrivateProfileString read through ParseInteger; the default for unreadable text.
int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue, const std::string& path);

} // namespace lw::profile
