#pragma once
#include <optional>
#include <string>

// Edits of Thunar's uca.xml, the one file that holds all of a user's custom actions.
// Only the <action> with the given unique-id is added, replaced or removed; every other
// byte stays as it was. A file that is not well-formed, or not an <actions> list, is
// refused (nullopt) so that it can be left alone.
namespace lw {

// `action` is one complete <action> element.
std::optional<std::string> MergeThunarAction(const std::string& text, const std::string& uniqueId,
                                             const std::string& action);

std::optional<std::string> RemoveThunarAction(const std::string& text, const std::string& uniqueId);

// A uca.xml holding `action` alone, in the layout Thunar writes.
std::string NewThunarActions(const std::string& action);

// A well-formed <actions> list without any action in it.
bool IsEmptyThunarActions(const std::string& text);

} // namespace lw
