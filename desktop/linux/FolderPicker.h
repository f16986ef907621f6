#pragma once
#include <functional>
#include <optional>
#include <string>

namespace lw {

// A modal chooser of folders titled with the caption. The folder is the initial selection
// when it names an existing directory (otherwise it is emptied first) and, on true, the
// chosen folder's full path. The root, when given, is where browsing starts.
bool PickFolder(const std::string& caption, const std::string& root, std::string& folder);

// Test seam: answers in place of the dialog, given the caption, the root and the checked
// initial folder; nullopt is a cancel. Empty restores the dialog.
using TFolderChooser = std::function<std::optional<std::string>(const std::string& caption, const std::string& root,
                                                                const std::string& initial)>;
void SetFolderChooserForTesting(TFolderChooser chooser);

} // namespace lw
