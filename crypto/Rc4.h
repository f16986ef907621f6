#pragma once
#include "crypto/Cipher.h"
#include "crypto/SecureFill.h"

namespace lw {

// RC4 whose two output indices restart at zero on every Encrypt/Decrypt call while the
// permutation carries on: every stored file depends on this.
class TDCP_rc4 final : public TCipherClass<TDCP_rc4, TDCP_cipher> {
public:
    static int32_t ClassId() { return 19; }
    static std::string ClassAlgorithm() { return "RC4"; }
    static int32_t ClassMaxKeySize() { return 2048; }
    static bool ClassKnownAnswerTest();

    void SetKey(const void* key, uint32_t sizeInBits, const void* iv) override;
    void Wipe() override;
    // Unlike the block ciphers, needs no key: on an unkeyed cipher it copies the wiped state.
    void Reset() override;
    void Encrypt(const void* in, void* out, uint32_t count) override;
    void Decrypt(const void* in, void* out, uint32_t count) override { Encrypt(in, out, count); }

    std::span<const uint8_t> PermutationBytes() const { return m_permutation.Bytes(); }
    std::span<const uint8_t> InitialPermutationBytes() const { return m_initialPermutation.Bytes(); }

private:
    TKeyArray<uint8_t, 256, 0xFF> m_permutation;
    TKeyArray<uint8_t, 256, 0xFF> m_initialPermutation;
};

} // namespace lw
