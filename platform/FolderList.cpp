#include "platform/FolderList.h"

#include <algorithm>

#include "platform/FileStream.h"

namespace lw {
namespace {

unsigned char Folded(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

} // namespace

std::vector<std::string> SplitFolderList(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = std::min(text.find_first_of("\r\n", pos), text.size());
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n' && (pos == end || text[end] == '\r'))
            ++pos;
    }
    return lines;
}

std::string JoinFolderList(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

std::vector<std::string> ReadFolderList(const std::string& path)
{
    TFileStream file(path, TFileMode::fmOpenReadShared);
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    file.ReadBuffer({reinterpret_cast<uint8_t*>(text.data()), text.size()});
    return SplitFolderList(text);
}

void WriteFolderList(const std::string& path, const std::vector<std::string>& lines)
{
    const std::string text = JoinFolderList(lines);
    TFileStream file(path, TFileMode::fmCreate);
    file.WriteBuffer({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    file.Close();
}

bool FolderSortsBefore(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Folded(x) < Folded(y); });
}

} // namespace lw
