#pragma once
#include <string>

// Path rules of this platform: "/" is the only separator and there is no drive part.
// A native Windows build brings its own version of these functions.
namespace lw::path {

inline constexpr char kSeparator = '/';

// From the last "." after the last separator, dot included; empty if none.
std::string ExtractFileExt(const std::string& path);
// The path with that extension cut off.
std::string PathWithoutExt(const std::string& path);
// What follows the last separator.
std::string ExtractFileName(const std::string& path);
// Up to and including the last separator; empty if none.
std::string ExtractFilePath(const std::string& path);
// folder + separator + name; the separator is added even when the folder ends in one.
std::string JoinDestination(const std::string& folder, const std::string& name);
// Only the letters A to Z change.
std::string LowerAscii(std::string text);

} // namespace lw::path
