#include "desktop/FileDrop.h"

#include <new>

#include "platform/Exception.h"

namespace lw {

std::vector<uint8_t> BuildFileDropBlock(const std::string& path)
{
    std::vector<uint8_t> block;
    try {
        block.assign(kFileDropHeaderSize + path.size() + 2, 0);
    } catch (const std::bad_alloc&) {
        throw Exception("Could not allocate memory.");
    }
    for (int i = 0; i < 4; ++i)
        block[i] = static_cast<uint8_t>(kFileDropHeaderSize >> (8 * i));
    std::copy(path.begin(), path.end(), block.begin() + kFileDropHeaderSize);
    return block;
}

std::string FileUrlFromPath(const std::string& absolutePath)
{
    static const char* kHex = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : absolutePath) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                           b == '.' || b == '_' || b == '~' || b == '/';
        if (plain) {
            url += c;
        } else {
            url += '%';
            url += kHex[b >> 4];
            url += kHex[b & 15];
        }
    }
    return url;
}

std::string UriListPayload(const std::string& absolutePath)
{
    return FileUrlFromPath(absolutePath) + "\r\n";
}

std::string CopiedFilesPayload(const std::string& absolutePath)
{
    return "copy\n" + FileUrlFromPath(absolutePath);
}

} // namespace lw
