#include "crypto/Rc4.h"

#include <array>
#include <cstring>
#include <utility>

namespace lw {

void TDCP_rc4::SetKey(const void* key, uint32_t sizeInBits, const void* iv)
{
    (void)iv;
    TDCP_cipher::SetKey(key, sizeInBits, nullptr);
    const uint32_t n = sizeInBits / 8;
    if (n == 0) {
        // A 4-bit key passes the size check but holds no whole byte to schedule.
        Wipe();
        throw EDCP_cipher(kInvalidKeySize);
    }
    const auto* k = static_cast<const uint8_t*>(key);
    auto& s = m_permutation;
    for (uint32_t i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + s[i] + k[i % n]);
        std::swap(s[i], s[j]);
    }
    std::memcpy(m_initialPermutation.data(), s.data(), 256);
}

void TDCP_rc4::Wipe()
{
    m_initialPermutation.Wipe();
    m_permutation.Wipe();
    TDCP_cipher::Wipe();
}

void TDCP_rc4::Reset()
{
    std::memcpy(m_permutation.data(), m_initialPermutation.data(), 256);
}

void TDCP_rc4::Encrypt(const void* inp, void* outp, uint32_t count)
{
    if (!m_initialized)
        throw EDCP_cipher(kCipherNotInitialized);
    const auto* in = static_cast<const uint8_t*>(inp);
    auto* out = static_cast<uint8_t*>(outp);
    uint8_t* s = m_permutation.data();
    uint8_t i = 0, j = 0;
    for (uint32_t k = 0; k < count; ++k) {
        i = static_cast<uint8_t>(i + 1);
        const uint8_t t = s[i];
        j = static_cast<uint8_t>(j + t);
        s[i] = s[j];
        s[j] = t;
        out[k] = in[k] ^ s[static_cast<uint8_t>(t + s[i])];
    }
}

bool TDCP_rc4::ClassKnownAnswerTest()
{
    const uint8_t key[5] = {0x61, 0x8a, 0x63, 0xd2, 0xfb};
    const uint8_t plain[5] = {0xdc, 0xee, 0x4c, 0xf9, 0x2c};
    const uint8_t cipher[5] = {0xf1, 0x38, 0x29, 0xc9, 0xde};
    TDCP_rc4 rc4;
    rc4.SetKey(key, 40, nullptr);
    uint8_t buffer[5];
    rc4.Encrypt(plain, buffer, 5);
    const bool first = std::memcmp(buffer, cipher, 5) == 0;
    rc4.Reset();
    rc4.Decrypt(buffer, buffer, 5);
    const bool second = std::memcmp(buffer, plain, 5) == 0;
    rc4.Wipe();
    return first && second;
}

} // namespace lw
