#include "jobs/CipherFactory.h"

#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#if __has_include("crypto/Serpent.h")
#include "crypto/Serpent.h"
#define LW_HAVE_SERPENT 1
#endif

namespace lw {

std::unique_ptr<TDCP_cipher> CreateCipher(int32_t index)
{
    switch (index) {
    case 0: return std::make_unique<TDCP_rc4>();
    case 1: return std::make_unique<TDCP_blowfish>();
#ifdef LW_HAVE_SERPENT
    case 2: return std::make_unique<TDCP_serpent>();
#endif
    case 3: return std::make_unique<TDCP_rijndael>();
    default: return nullptr;
    }
}

} // namespace lw
