#include "platform/FileKind.h"

#include <array>
#include <magic.h>
#include <string_view>

namespace lw {

namespace {
// Text, encoding, token, CSV and JSON checks name random bytes as text far too often; the
// compressed-file check would decompress; tar and CDF are left on, as their checksums and
// long signatures do not fire on random bytes.
constexpr int kChecksOff = MAGIC_NO_CHECK_TEXT | MAGIC_NO_CHECK_ENCODING | MAGIC_NO_CHECK_TOKENS | MAGIC_NO_CHECK_CSV |
                           MAGIC_NO_CHECK_JSON | MAGIC_NO_CHECK_COMPRESS;

constexpr std::array<std::string_view, 3> kGenericDescriptions = {"data", "empty", "very short file (no magic)"};
constexpr std::array<std::string_view, 4> kGenericTypes = {"application/octet-stream", "application/x-empty",
                                                           "inode/x-empty", "text/plain"};

template <size_t N>
bool OneOf(std::string_view text, const std::array<std::string_view, N>& generic)
{
    for (std::string_view g : generic)
        if (text == g)
            return true;
    return false;
}
} // namespace

TFileKinds::TFileKinds()
{
    m_cookie = magic_open(kChecksOff);
    if (m_cookie && magic_load(m_cookie, nullptr) != 0) {
        magic_close(m_cookie);
        m_cookie = nullptr;
    }
}

TFileKinds::~TFileKinds()
{
    if (m_cookie)
        magic_close(m_cookie);
}

std::optional<std::string> TFileKinds::Ask(std::span<const uint8_t> head, int flags)
{
    if (!m_cookie || head.empty() || magic_setflags(m_cookie, kChecksOff | flags) != 0)
        return std::nullopt;
    const char* answer = magic_buffer(m_cookie, head.data(), head.size());
    if (!answer || *answer == '\0')
        return std::nullopt;
    return std::string(answer);
}

std::optional<std::string> TFileKinds::Describe(std::span<const uint8_t> head)
{
    std::optional<std::string> kind = Ask(head, MAGIC_NONE);
    if (kind && OneOf(*kind, kGenericDescriptions))
        return std::nullopt;
    return kind;
}

std::optional<std::string> TFileKinds::MediaType(std::span<const uint8_t> head)
{
    std::optional<std::string> type = Ask(head, MAGIC_MIME_TYPE);
    if (type && OneOf(*type, kGenericTypes))
        return std::nullopt;
    return type;
}

std::optional<std::string> RecognisedFileKind(std::span<const uint8_t> head)
{
    TFileKinds kinds;
    return kinds.Describe(head);
}

} // namespace lw
