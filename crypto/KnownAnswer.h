#pragma once
// The self-test of the 128-bit block ciphers over their published vectors.
#include <cstdint>
#include <cstring>
#include <span>

namespace lw {

struct TKnownAnswer {
    uint32_t bits;
    uint8_t key[32];
    uint8_t plain[16];
    uint8_t cipher[16];
};

// Each vector on its own key, on an instance of the test's own: the plaintext encrypts to
// the ciphertext and that decrypts back. The key is wiped after each.
template <class C>
bool PassesKnownAnswers(std::span<const TKnownAnswer> vectors)
{
    C cipher;
    bool ok = true;
    for (const TKnownAnswer& v : vectors) {
        uint8_t block[16];
        cipher.SetKey(v.key, v.bits, nullptr);
        cipher.EncryptBlock(v.plain, block);
        ok = ok && std::memcmp(block, v.cipher, sizeof(block)) == 0;
        cipher.DecryptBlock(block, block);
        cipher.Wipe();
        ok = ok && std::memcmp(block, v.plain, sizeof(block)) == 0;
    }
    return ok;
}

} // namespace lw
