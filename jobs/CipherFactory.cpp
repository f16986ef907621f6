#include "jobs/CipherFactory.h"

#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"

namespace lw {

std::unique_ptr<TDCP_cipher> CreateCipher(int32_t index)
{
    switch (index) {
    case 0: return std::make_unique<TDCP_rc4>();
    case 1: return std::make_unique<TDCP_blowfish>();
    case 2: return std::make_unique<TDCP_serpent>();
    case 3: return std::make_unique<TDCP_rijndael>();
    default: return nullptr;
    }
}

} // namespace lw
