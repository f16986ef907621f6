#include "crypto/Hash.h"

namespace lw {

void TDCP_hash::UpdateText(std::string_view text)
{
    Update({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

} // namespace lw
