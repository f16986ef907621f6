#include "desktop/linux/MimeAppsList.h"

#include <vector>

namespace lw {
namespace {

constexpr const char* kDefaultGroup = "Default Applications";
constexpr const char* kAddedGroup = "Added Associations";

struct TLine {
    std::string body; // without its line end
    std::string end;  // "\n", "\r\n" or empty for a last line without one
    bool removed = false;
};

std::vector<TLine> SplitLines(const std::string& text)
{
    std::vector<TLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back({text.substr(start), "", false});
            break;
        }
        size_t bodyEnd = nl;
        if (bodyEnd > start && text[bodyEnd - 1] == '\r')
            --bodyEnd;
        lines.push_back({text.substr(start, bodyEnd - start), text.substr(bodyEnd, nl + 1 - bodyEnd), false});
        start = nl + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<TLine>& lines)
{
    std::string text;
    for (const auto& line : lines)
        if (!line.removed)
            text += line.body + line.end;
    return text;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool IsBlank(const TLine& line)
{
    return Trim(line.body).empty();
}

// The group name of a header line, or false.
bool GroupName(const TLine& line, std::string& name)
{
    const std::string t = Trim(line.body);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    name = t.substr(1, t.size() - 2);
    return true;
}

// The key of a "key=value" line; empty for comments and other lines.
std::string KeyOf(const TLine& line)
{
    const std::string t = Trim(line.body);
    const auto eq = t.find('=');
    if (t.empty() || t[0] == '#' || t[0] == '[' || eq == std::string::npos)
        return {};
    return Trim(t.substr(0, eq));
}

// Rewrites one value list without `id`; false when `id` was not in it.
bool DropFromList(TLine& line, const std::string& id)
{
    const auto eq = line.body.find('=');
    const std::string value = line.body.substr(eq + 1);
    const auto valueStart = value.find_first_not_of(" \t");
    const std::string list = Trim(value);
    std::vector<std::string> kept;
    bool dropped = false;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(start, end - start);
        if (Trim(item) == id)
            dropped = true;
        else if (!Trim(item).empty())
            kept.push_back(item);
        start = end + 1;
    }
    if (!dropped)
        return false;
    if (kept.empty()) {
        line.removed = true;
        return true;
    }
    std::string rebuilt;
    for (size_t i = 0; i < kept.size(); ++i)
        rebuilt += (i ? ";" : "") + kept[i];
    if (!list.empty() && list.back() == ';')
        rebuilt += ';';
    line.body =
        line.body.substr(0, eq + 1) + value.substr(0, valueStart == std::string::npos ? 0 : valueStart) + rebuilt;
    return true;
}

} // namespace

std::string SetDefaultApplication(const std::string& text, const std::string& mimeType, const std::string& desktopId)
{
    std::vector<TLine> lines = SplitLines(text);
    const std::string newline = lines.empty() || lines[0].end.empty() ? "\n" : lines[0].end;
    const std::string ours = mimeType + "=" + desktopId;

    bool inGroup = false, replaced = false;
    size_t insertAfter = std::string::npos; // last key line (or header) of the first such group
    bool firstGroupDone = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (GroupName(lines[i], name)) {
            if (inGroup)
                firstGroupDone = true;
            inGroup = name == kDefaultGroup;
            if (inGroup && !firstGroupDone && insertAfter == std::string::npos)
                insertAfter = i;
            continue;
        }
        if (!inGroup)
            continue;
        const std::string key = KeyOf(lines[i]);
        if (key == mimeType) {
            lines[i].body = ours;
            replaced = true;
        } else if (!key.empty() && !firstGroupDone) {
            insertAfter = i;
        }
    }
    if (replaced)
        return JoinLines(lines);

    if (insertAfter == std::string::npos) {
        if (!lines.empty() && lines.back().end.empty())
            lines.back().end = newline;
        lines.push_back({std::string("[") + kDefaultGroup + "]", newline, false});
        lines.push_back({ours, newline, false});
    } else {
        if (lines[insertAfter].end.empty())
            lines[insertAfter].end = newline;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAfter) + 1, TLine{ours, newline, false});
    }
    return JoinLines(lines);
}

std::string RemoveApplication(const std::string& text, const std::string& mimeType, const std::string& desktopId)
{
    std::vector<TLine> lines = SplitLines(text);
    std::vector<size_t> emptiedHeaders;
    size_t header = std::string::npos;
    bool inGroup = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (GroupName(lines[i], name)) {
            inGroup = name == kDefaultGroup || name == kAddedGroup;
            header = i;
            continue;
        }
        if (inGroup && KeyOf(lines[i]) == mimeType && DropFromList(lines[i], desktopId) && lines[i].removed)
            emptiedHeaders.push_back(header);
    }
    // A group whose last line we removed goes too, with its blank lines.
    for (size_t h : emptiedHeaders) {
        if (h == std::string::npos || lines[h].removed)
            continue;
        size_t end = h + 1;
        std::string name;
        bool empty = true;
        for (; end < lines.size() && !GroupName(lines[end], name); ++end)
            if (!lines[end].removed && !IsBlank(lines[end]))
                empty = false;
        if (empty)
            for (size_t i = h; i < end; ++i)
                lines[i].removed = true;
    }
    return JoinLines(lines);
}

bool IsBlankText(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

} // namespace lw
