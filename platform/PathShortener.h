#pragma once
#include <functional>
#include <string>

namespace lw {

// Width in pixels that a text takes on one line.
using TTextMeasurer = std::function<int(const std::string& text)>;

// Fits a path into maxWidth by replacing leading folders with "...", one per pass, until it
// fits or only the file name is left; the file name itself is never cut.
std::string ShortenPathToWidth(const std::string& path, const TTextMeasurer& measure, int maxWidth);

// One shortening step on a directory part ending in "/": "/a/b/" -> "/.../b/", "/.../b/" -> "/.../".
std::string DropLeadingDirectory(std::string directory);

} // namespace lw
