#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// RFC 4648 alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::span<const uint8_t> bytes);
// Whole groups of four only; a trailing partial group is ignored. Characters outside
// the alphabet count as zero bits rather than failing the whole text.
std::vector<uint8_t> Base64Decode(std::string_view text);

} // namespace lw
