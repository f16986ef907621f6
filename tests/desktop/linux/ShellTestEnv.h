#pragma once
// Points HOME and the XDG folders at a fresh temporary tree for the life of the object,
// so registration tests never touch the real ~/.local/share or ~/.config.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "TestUtil.h"

namespace lwtest {

class ShellTestEnv {
public:
    ShellTestEnv()
    {
        for (const char* dir : {"home", "data", "config", "etc-xdg", "empty-path"})
            std::filesystem::create_directories(m_root / dir);
        Set("HOME", m_root / "home");
        Set("XDG_DATA_HOME", Data());
        Set("XDG_CONFIG_HOME", Config());
        Set("XDG_CONFIG_DIRS", SystemConfig());
        // Launchers pick their rules by desktop; these tests take the generic ones.
        Unset("XDG_CURRENT_DESKTOP");
        Unset("KDE_FULL_SESSION");
        Unset("GNOME_DESKTOP_SESSION_ID");
        Unset("DESKTOP_SESSION");
    }
    ~ShellTestEnv()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    ShellTestEnv(const ShellTestEnv&) = delete;
    ShellTestEnv& operator=(const ShellTestEnv&) = delete;

    const std::string& Root() const { return m_root.Path(); }
    std::string Data() const { return m_root / "data"; }
    std::string Config() const { return m_root / "config"; }
    std::string SystemConfig() const { return m_root / "etc-xdg"; }

    // No cache tool on PATH: the tree then holds only what the program writes itself.
    void HideTools() { Set("PATH", m_root / "empty-path"); }

    void Set(const std::string& name, const std::string& value)
    {
        Save(name);
        if (setenv(name.c_str(), value.c_str(), 1) != 0)
            throw std::runtime_error("setenv failed");
    }
    void Unset(const std::string& name)
    {
        Save(name);
        unsetenv(name.c_str());
    }

private:
    void Save(const std::string& name)
    {
        if (m_saved.count(name))
            return;
        const char* value = std::getenv(name.c_str());
        m_saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }

    TempDir m_root;
    std::map<std::string, std::optional<std::string>> m_saved;
};

// Every entry below `root`: relative path -> kind, permission bits, content or link
// target, and modification time, for before/after comparisons.
struct TreeEntry {
    char kind; // 'f' file, 'd' folder, 'l' symlink
    unsigned mode;
    std::string content;
    long long mtimeNs;
    bool operator==(const TreeEntry&) const = default;
};
using Tree = std::map<std::string, TreeEntry>;

inline Tree Snapshot(const std::string& root)
{
    Tree tree;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().string();
        struct stat st {};
        ::lstat(path.c_str(), &st);
        TreeEntry entry{
            'f', static_cast<unsigned>(st.st_mode & 07777), {}, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
        if (S_ISDIR(st.st_mode)) {
            entry.kind = 'd';
            entry.mtimeNs = 0; // folders change when temporary files come and go
        } else if (S_ISLNK(st.st_mode)) {
            entry.kind = 'l';
            entry.content = std::filesystem::read_symlink(path).string();
        } else {
            const Bytes data = ReadFile(path);
            entry.content.assign(data.begin(), data.end());
        }
        tree[path.substr(root.size() + 1)] = entry;
    }
    return tree;
}

inline std::vector<std::string> FilesIn(const Tree& tree)
{
    std::vector<std::string> files;
    for (const auto& [path, entry] : tree)
        if (entry.kind != 'd')
            files.push_back(path);
    return files;
}

inline std::string ReadText(const std::string& path)
{
    const Bytes data = ReadFile(path);
    return std::string(data.begin(), data.end());
}

inline void WriteText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, Bytes(text.begin(), text.end()));
}

} // namespace lwtest
