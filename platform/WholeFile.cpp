#include "platform/WholeFile.h"

#include <fcntl.h>

#include "platform/FileSystem.h"

namespace lw {

bool ReadWholeFile(const std::string& path, std::string& content)
{
    const int fd = fs::Open(path, O_RDONLY);
    if (fd < 0)
        return false;
    std::string data;
    char buffer[16384];
    ssize_t n;
    while ((n = fs::Read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<size_t>(n));
    fs::Close(fd);
    if (n < 0)
        return false;
    content = std::move(data);
    return true;
}

} // namespace lw
