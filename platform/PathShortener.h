#pragma once
#include <functional>
#include <string>

#include "platform/Path.h"

namespace lw {

// Width in pixels that a text takes on one line.
using TTextMeasurer = std::function<int(const std::string& text)>;

// Fits a path into maxWidth by replacing leading folders with "...", one per pass, until it
// fits or only the file name is left; the file name itself is never cut. A drive part
// ("C:") stays in front until the folders are down to the bare marker.
std::string ShortenPathToWidth(const std::string& path, const TTextMeasurer& measure, int maxWidth,
                               const path::TPathRules& rules = path::kNativeRules);

// One shortening step on a directory part ending in a separator: "/a/b/" -> "/.../b/",
// "/.../b/" -> "/.../" (with "\" on Windows).
std::string DropLeadingDirectory(std::string directory, const path::TPathRules& rules = path::kNativeRules);

} // namespace lw
