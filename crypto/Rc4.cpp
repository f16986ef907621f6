#include "crypto/Rc4.h"

#include <array>
#include <cstring>
#include <utility>

#include "platform/LoadStore.h"

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

namespace {

// Shorter calls run on the bytes in place.
constexpr uint32_t kShortCall = 64;

// One step of the generator on a working state of 32-bit entries (no byte merges, no
// aliasing with the caller's buffers). S[i+1] is read before this step's stores, so the
// processor need not wait for j to know whether the load may pass them; when j hit
// i+1, the value just stored there is taken instead. That keeps the chain through j to
// a few cycles.
#define LW_RC4_STEP(I, INEXT, out)                                                                                     \
    do {                                                                                                               \
        j = (j + t) & 255;                                                                                             \
        const uint32_t u = w[j];                                                                                       \
        const uint32_t next = w[INEXT];                                                                                \
        w[I] = u;                                                                                                      \
        w[j] = t;                                                                                                      \
        out = w[(t + u) & 255];                                                                                        \
        t = j == (INEXT) ? t : next;                                                                                   \
    } while (0)

// Key stream of one call from i = j = 0, eight bytes to a word. The first seven bytes go
// one at a time so that every later group of eight starts at a multiple of eight.
void Rc4Stream(uint32_t* w, const uint8_t* in, uint8_t* out, uint32_t count)
{
    uint32_t j = 0, k = 0, t = w[1], x;
    const uint32_t head = count < 7 ? count : 7;
    for (; k < head; ++k) {
        LW_RC4_STEP(k + 1, k + 2, x);
        out[k] = static_cast<uint8_t>(in[k] ^ x);
    }
    uint32_t i0 = 8;
    for (; count - k >= 8; k += 8, i0 = (i0 + 8) & 255) {
        const uint32_t last = (i0 + 8) & 255;
        // Gathered through memory, which leaves the compiler registers for the steps.
        uint32_t b[8];
        LW_RC4_STEP(i0, i0 + 1, b[0]);
        LW_RC4_STEP(i0 + 1, i0 + 2, b[1]);
        LW_RC4_STEP(i0 + 2, i0 + 3, b[2]);
        LW_RC4_STEP(i0 + 3, i0 + 4, b[3]);
        LW_RC4_STEP(i0 + 4, i0 + 5, b[4]);
        LW_RC4_STEP(i0 + 5, i0 + 6, b[5]);
        LW_RC4_STEP(i0 + 6, i0 + 7, b[6]);
        LW_RC4_STEP(i0 + 7, last, b[7]);
        uint64_t ks = 0;
        for (int c = 0; c < 8; ++c)
            ks |= uint64_t(b[c] & 255) << (8 * c);
        StoreLE64(out + k, LoadLE64(in + k) ^ ks);
    }
    for (uint32_t i = i0; k < count; ++k, ++i) {
        LW_RC4_STEP(i, (i + 1) & 255, x);
        out[k] = static_cast<uint8_t>(in[k] ^ x);
    }
}

#undef LW_RC4_STEP

} // namespace

void TDCP_rc4::Encrypt(const void* inp, void* outp, uint32_t count)
{
    if (!m_initialized)
        throw EDCP_cipher(kCipherNotInitialized);
    const auto* in = static_cast<const uint8_t*>(inp);
    auto* out = static_cast<uint8_t*>(outp);
    uint8_t* s = m_permutation.data();
    if (count < kShortCall) {
        uint8_t i = 0, j = 0;
        for (uint32_t k = 0; k < count; ++k) {
            i = static_cast<uint8_t>(i + 1);
            const uint8_t t = s[i];
            j = static_cast<uint8_t>(j + t);
            s[i] = s[j];
            s[j] = t;
            out[k] = in[k] ^ s[static_cast<uint8_t>(t + s[i])];
        }
        return;
    }
    // Widening the state costs a few hundred cycles, so only longer calls take it.
    std::array<uint32_t, 256> w;
    const TWipeOnExit wipeState(w);
    for (size_t n = 0; n < 256; ++n)
        w[n] = s[n];
    Rc4Stream(w.data(), in, out, count);
    for (size_t n = 0; n < 256; ++n)
        s[n] = static_cast<uint8_t>(w[n]);
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
