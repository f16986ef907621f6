#pragma once
#include <string>
#include <vector>

// The per-user base folders of the XDG Base Directory rules, read from the environment
// on every call, so a test can point them elsewhere.
namespace lw::xdg {

// $HOME, or the account's home folder when HOME is unset.
std::string HomeDir();
// $XDG_DATA_HOME, default ~/.local/share.
std::string DataHome();
// $XDG_CONFIG_HOME, default ~/.config.
std::string ConfigHome();
// $XDG_CONFIG_DIRS in order of preference, default /etc/xdg.
std::vector<std::string> ConfigDirs();

} // namespace lw::xdg
