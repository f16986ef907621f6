#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the clipboard receives for one file: the file-drop block, and the formats
// Linux file managers read when they paste files.
namespace lw {

inline constexpr uint32_t kFileDropHeaderSize = 20;

// Header (list offset 20 in bytes 0..3, little-endian, the rest zero), the path's
// bytes, then two zero bytes: n + 22 bytes. Raises "Could not allocate memory.".
std::vector<uint8_t> BuildFileDropBlock(const std::string& path);

// "file://" and the absolute path, percent-encoded byte by byte so that names which
// are not UTF-8 survive.
std::string FileUrlFromPath(const std::string& absolutePath);

// text/uri-list: the URL and CRLF.
std::string UriListPayload(const std::string& absolutePath);

// x-special/gnome-copied-files and x-special/mate-copied-files: "copy", LF, the URL.
// No trailing line feed: some file managers reject the empty last line.
std::string CopiedFilesPayload(const std::string& absolutePath);

} // namespace lw
