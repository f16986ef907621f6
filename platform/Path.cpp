#include "platform/Path.h"

namespace lw::path {
namespace {

std::string::size_type LastSeparator(const std::string& path, const TPathRules& rules)
{
    return FindLast(path, rules, [&](char c) { return EndsFolder(c, rules); });
}

std::string::size_type ExtensionStart(const std::string& path, const TPathRules& rules)
{
    const auto dot = FindLast(path, rules, [](char c) { return c == '.'; });
    if (dot == std::string::npos)
        return std::string::npos;
    const auto sep = LastSeparator(path, rules);
    if (sep != std::string::npos && dot < sep)
        return std::string::npos;
    return dot;
}

} // namespace

std::string ExtractFileExt(const std::string& path, const TPathRules& rules)
{
    const auto dot = ExtensionStart(path, rules);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string PathWithoutExt(const std::string& path, const TPathRules& rules)
{
    const auto dot = ExtensionStart(path, rules);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string ExtractFileName(const std::string& path, const TPathRules& rules)
{
    const auto sep = LastSeparator(path, rules);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ExtractFilePath(const std::string& path, const TPathRules& rules)
{
    const auto sep = LastSeparator(path, rules);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string JoinDestination(const std::string& folder, const std::string& name, const TPathRules& rules)
{
    return folder + rules.separator + name;
}

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace lw::path
