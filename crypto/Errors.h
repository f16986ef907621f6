#pragma once
#include "platform/Exception.h"

namespace lw {

class EDCP_hash : public Exception {
    using Exception::Exception;
};
class EDCP_cipher : public Exception {
    using Exception::Exception;
};
class EDCP_blockcipher : public EDCP_cipher {
    using EDCP_cipher::EDCP_cipher;
};

inline constexpr const char* kInvalidKeySize = "Invalid key size";
inline constexpr const char* kCipherNotInitialized = "Cipher not initialized";
inline constexpr const char* kHashNotInitialized = "Hash not initialized";
inline constexpr const char* kDigestAllocFailed = "Unable to allocate sufficient memory for hash digest";

} // namespace lw
