#include "platform/AbsolutePath.h"

#include <cerrno>
#include <limits.h>
#include <unistd.h>

#include "platform/Path.h"

namespace lw::path {
namespace {

std::string CurrentFolder()
{
    std::string buffer(PATH_MAX, '\0');
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return buffer;
}

} // namespace

std::string AbsolutePath(const std::string& path)
{
    return AbsolutePath(path, path.starts_with(kSeparator) ? std::string() : CurrentFolder());
}

std::string AbsolutePath(const std::string& path, const std::string& currentFolder)
{
    const std::string joined = path.starts_with(kSeparator) ? path : currentFolder + kSeparator + path;
    std::string out;
    std::string::size_type start = 0;
    while (start <= joined.size()) {
        auto end = joined.find(kSeparator, start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string segment = joined.substr(start, end - start);
        if (!segment.empty() && segment != ".")
            out += kSeparator + segment;
        start = end + 1;
    }
    if (out.empty())
        return std::string(1, kSeparator);
    // A trailing separator marks a folder; keep it.
    if (joined.ends_with(kSeparator) && out.size() > 1)
        out += kSeparator;
    return out;
}

} // namespace lw::path
