#pragma once
#include <cstdint>
#include <memory>

#include "crypto/Cipher.h"

namespace lw {

// 0 RC4, 1 Blowfish, 2 Serpent, 3 Rijndael; nullptr for any other index.
std::unique_ptr<TDCP_cipher> CreateCipher(int32_t index);

} // namespace lw
