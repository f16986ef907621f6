#include "platform/PathShortener.h"

#include "platform/Path.h"

namespace lw {
namespace {

const std::string kMarker = std::string("...") + path::kSeparator;
const std::string kRootedMarker = path::kSeparator + kMarker;

} // namespace

std::string DropLeadingDirectory(std::string directory)
{
    const std::string root(1, path::kSeparator);
    if (directory == root)
        return {};
    const bool rooted = directory.starts_with(root);
    if (rooted)
        directory.erase(0, 1);
    if (directory.starts_with(kMarker))
        directory.erase(0, kMarker.size());
    const auto separator = directory.find(path::kSeparator);
    directory = separator == std::string::npos ? std::string() : kMarker + directory.substr(separator + 1);
    return rooted ? root + directory : directory;
}

std::string ShortenPathToWidth(const std::string& path, const TTextMeasurer& measure, int maxWidth)
{
    std::string result = path;
    std::string directory = path::ExtractFilePath(path);
    const std::string name = path::ExtractFileName(path);
    // Without a drive part, "/.../" gives way to "..." just as the drive would have.
    while (!directory.empty() && measure(result) > maxWidth) {
        directory = directory == kRootedMarker ? kMarker : DropLeadingDirectory(directory);
        result = directory + name;
    }
    return result;
}

} // namespace lw
