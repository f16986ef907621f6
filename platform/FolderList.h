#pragma once
#include <string>
#include <string_view>
#include <vector>

// The saved-folders file: plain 8-bit text, one entry per line, every line CRLF-terminated.
namespace lw {

// Lines end at CRLF, a lone CR or a lone LF; the text ends at its first NUL.
// Empty lines are kept; a final line end does not start another line.
std::vector<std::string> SplitFolderList(std::string_view text);
// Every line, the last one too, followed by CRLF.
std::string JoinFolderList(const std::vector<std::string>& lines);

// Raise the stream's own failure when the file cannot be read or written.
std::vector<std::string> ReadFolderList(const std::string& path);
void WriteFolderList(const std::string& path, const std::vector<std::string>& lines);

// The list's order: byte order with the letters A to Z folded to lower case.
bool FolderSortsBefore(std::string_view a, std::string_view b);

} // namespace lw
