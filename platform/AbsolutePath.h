#pragma once
#include <string>

namespace lw::path {

// The path made absolute against the current folder, with "." segments and doubled
// separators dropped. ".." stays: through a symlinked folder, dropping it would name
// another file.
std::string AbsolutePath(const std::string& path);
std::string AbsolutePath(const std::string& path, const std::string& currentFolder);

} // namespace lw::path
