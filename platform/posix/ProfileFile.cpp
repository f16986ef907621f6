#include "platform/ProfileFile.h"

#include <vector>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/FolderList.h"

// The profile file read and written as text, the way the Windows calls do it.
namespace lw::profile {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The section named on a "[name]" line; false for any other line.
bool SectionName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return false;
    line.remove_prefix(1);
    const auto close = line.find(']');
    name = Trim(line.substr(0, close));
    return true;
}

bool KeyLine(std::string_view line, std::string_view key, std::string_view* value = nullptr)
{
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || !SameName(Trim(line.substr(0, eq)), key))
        return false;
    if (value)
        *value = line.substr(eq + 1);
    return true;
}

struct TSectionRange {
    std::size_t first = 0; // first line after the header
    std::size_t end = 0;   // the next header, or the end
    bool found = false;
};

TSectionRange FindSection(const std::vector<std::string>& lines, std::string_view section)
{
    TSectionRange range;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (!SectionName(lines[i], name))
            continue;
        if (range.found) {
            range.end = i;
            return range;
        }
        if (SameName(name, section)) {
            range.found = true;
            range.first = i + 1;
        }
    }
    range.end = lines.size();
    return range;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    return fs::FileExists(path) ? ReadFolderList(path) : std::vector<std::string>{};
}

} // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& path)
{
    std::vector<std::string> lines;
    try {
        lines = ReadLines(path);
    } catch (const Exception&) {
        return defaultValue;
    }
    const auto range = FindSection(lines, section);
    if (!range.found)
        return defaultValue;
    for (std::size_t i = range.first; i < range.end; ++i) {
        std::string_view value;
        if (!KeyLine(lines[i], key, &value))
            continue;
        value = Trim(value);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value.substr(0, kMaxValueLength));
    }
    return defaultValue;
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path)
{
    try {
        auto lines = ReadLines(path);
        const std::string entry = key + "=" + value;
        const auto range = FindSection(lines, section);
        if (!range.found) {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            std::size_t insertAt = range.first;
            bool replaced = false;
            for (std::size_t i = range.first; i < range.end && !replaced; ++i) {
                if (KeyLine(lines[i], key)) {
                    lines[i] = entry;
                    replaced = true;
                } else if (!Trim(lines[i]).empty()) {
                    insertAt = i + 1;
                }
            }
            if (!replaced)
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
        }
        WriteFolderList(path, lines);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

} // namespace lw::profile
