#include "platform/PathShortener.h"

namespace lw {
namespace {

std::string Marker(const path::TPathRules& rules)
{
    return std::string("...") + rules.separator;
}

} // namespace

std::string DropLeadingDirectory(std::string directory, const path::TPathRules& rules)
{
    const std::string root(1, rules.separator);
    if (directory == root)
        return {};
    const bool rooted = directory.starts_with(root);
    if (rooted)
        directory.erase(0, 1);
    const std::string marker = Marker(rules);
    if (directory.starts_with(marker))
        directory.erase(0, marker.size());
    const auto separator = path::FindFirst(directory, rules, [&](char c) { return c == rules.separator; });
    directory = separator == std::string::npos ? std::string() : marker + directory.substr(separator + 1);
    return rooted ? root + directory : directory;
}

std::string ShortenPathToWidth(const std::string& path, const TTextMeasurer& measure, int maxWidth,
                               const path::TPathRules& rules)
{
    std::string result = path;
    std::string directory = path::ExtractFilePath(path, rules);
    const std::string name = path::ExtractFileName(path, rules);
    std::string drive;
    const bool leadFirst =
        !directory.empty() && rules.isLeadByte && rules.isLeadByte(static_cast<unsigned char>(directory[0]));
    if (rules.drive != '\0' && directory.size() >= 2 && directory[1] == rules.drive && !leadFirst) {
        drive = directory.substr(0, 2);
        directory.erase(0, 2);
    }
    const std::string rootedMarker = rules.separator + Marker(rules);
    while ((!directory.empty() || !drive.empty()) && measure(result) > maxWidth) {
        if (directory == rootedMarker) {
            // The drive gives way together with the root.
            drive.clear();
            directory = Marker(rules);
        } else if (directory.empty()) {
            drive.clear();
        } else {
            directory = DropLeadingDirectory(directory, rules);
        }
        result = drive + directory + name;
    }
    return result;
}

} // namespace lw
