#include "crypto/Base64.h"

namespace lw {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

uint32_t Sextet(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<uint32_t>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<uint32_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c - '0' + 52);
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

} // namespace

std::string Base64Encode(std::span<const uint8_t> bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (rest == 2)
            v |= uint32_t(bytes[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::vector<uint8_t> Base64Decode(std::string_view text)
{
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i + 4 <= text.size(); i += 4) {
        const uint32_t v =
            (Sextet(text[i]) << 18) | (Sextet(text[i + 1]) << 12) | (Sextet(text[i + 2]) << 6) | Sextet(text[i + 3]);
        out.push_back(static_cast<uint8_t>(v >> 16));
        if (text[i + 2] == '=')
            continue;
        out.push_back(static_cast<uint8_t>(v >> 8));
        if (text[i + 3] == '=')
            continue;
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

} // namespace lw
