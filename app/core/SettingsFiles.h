#pragma once
#include <string>

namespace lw {

// Where the settings (".ini") and the saved folders (".dat") live, named from the
// executable: beside it when its folder is writable (a portable copy), otherwise, and
// always for an installed program (/usr/bin/lockwell), in the user's own settings folder
// under "lockwell/" (Windows: "%APPDATA%\Lockwell\"). The one rule for both faces.
class TSettingsFiles {
public:
    TSettingsFiles(const std::string& executablePath, const std::string& configHome);
    // The running program and the user's settings folder ($XDG_CONFIG_HOME, %APPDATA%).
    static TSettingsFiles ForThisProgram();

    std::string SettingsPath() const { return m_base + ".ini"; }
    std::string FolderListPath() const { return m_base + ".dat"; }

private:
    std::string m_base; // folder and executable name without its extension
};

} // namespace lw
