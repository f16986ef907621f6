#include "platform/AbsolutePath.h"
#include "platform/windows/Unicode.h"

#include <windows.h>

#include <vector>

namespace lw::path {
namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasDrive(const std::string& path)
{
    return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':';
}

bool IsUnc(const std::string& path)
{
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

// "C:" or "\\server\share": the part ".." never climbs above.
std::string RootOf(const std::string& path, std::string::size_type& rest)
{
    if (IsUnc(path)) {
        std::string::size_type at = 2;
        for (int part = 0; part < 2; ++part) {
            while (at < path.size() && !IsSeparator(path[at]))
                ++at;
            if (part == 0 && at < path.size())
                ++at;
        }
        rest = at;
        std::string root = path.substr(0, at);
        for (char& c : root)
            if (c == '/')
                c = '\\';
        return root;
    }
    rest = HasDrive(path) ? 2 : 0;
    return path.substr(0, rest);
}

std::string CurrentFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            return "C:\\";
        if (n < buffer.size())
            return win::Narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(n + 1);
    }
}

// The path as Windows itself reads a full one: "/" taken as "\", "." and empty segments
// dropped, ".." taking back one segment but never the drive or share.
std::string Normalised(const std::string& full)
{
    std::string::size_type at = 0;
    const std::string root = RootOf(full, at);
    std::vector<std::string> segments;
    while (at <= full.size()) {
        std::string::size_type end = at;
        while (end < full.size() && !IsSeparator(full[end]))
            ++end;
        const std::string segment = full.substr(at, end - at);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        at = end + 1;
    }
    std::string out = root;
    for (const std::string& segment : segments)
        out += "\\" + segment;
    if (segments.empty() || IsSeparator(full.back()))
        out += "\\";
    return out;
}

} // namespace

std::string AbsolutePath(const std::string& path)
{
    return AbsolutePath(path, CurrentFolder());
}

std::string AbsolutePath(const std::string& path, const std::string& currentFolder)
{
    if (IsUnc(path) || (HasDrive(path) && path.size() > 2 && IsSeparator(path[2])))
        return Normalised(path);
    std::string::size_type rest = 0;
    const std::string currentRoot = RootOf(currentFolder, rest);
    if (!path.empty() && IsSeparator(path[0]))
        return Normalised(currentRoot + path); // from the root of the current drive
    if (HasDrive(path)) {
        // "D:name" is relative to the current folder of that drive; only the current
        // drive's is known here, another drive's is taken at its root.
        const bool sameDrive = HasDrive(currentFolder) && (currentFolder[0] | 0x20) == (path[0] | 0x20);
        return Normalised(sameDrive ? currentFolder + "\\" + path.substr(2)
                                    : path.substr(0, 2) + "\\" + path.substr(2));
    }
    const bool separated = !currentFolder.empty() && IsSeparator(currentFolder.back());
    return Normalised(currentFolder + (separated ? "" : "\\") + path);
}

} // namespace lw::path
