#pragma once
#include <string>

// Edits of a user's mimeapps.list that change only the lines of one MIME type and keep
// every other byte. Qt's settings classes would rewrite other programs' keys.
namespace lw {

// Makes `desktopId` the default for `mimeType` in [Default Applications], creating the
// key, or the group at the end, when missing.
std::string SetDefaultApplication(const std::string& text, const std::string& mimeType, const std::string& desktopId);

// Takes `desktopId` out of the `mimeType` lists in [Default Applications] and
// [Added Associations]. A list left empty loses its line, and a group emptied by that
// loses its header.
std::string RemoveApplication(const std::string& text, const std::string& mimeType, const std::string& desktopId);

// Nothing but blank lines: the file says nothing and can go.
bool IsBlankText(const std::string& text);

} // namespace lw
