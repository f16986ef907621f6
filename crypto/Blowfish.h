#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "crypto/BlockCipher.h"

namespace lw {

// 64-bit block cipher, 16 rounds, keys of 8 to 448 bits.
class TDCP_blowfish final : public TCipherClass<TDCP_blowfish, TDCP_blockcipher64> {
public:
    static int32_t ClassId() { return 5; }
    static std::string ClassAlgorithm() { return "Blowfish"; }
    static int32_t ClassMaxKeySize() { return 448; }
    static bool ClassKnownAnswerTest();

    void Wipe() override;
    void EncryptBlock(const void* in, void* out) override;
    void DecryptBlock(const void* in, void* out) override;

    // Read-only views for checks that the schedule was wiped.
    std::span<const uint8_t> SBoxBytes() const { return m_s.Bytes(); }
    std::span<const uint8_t> PArrayBytes() const { return m_p.Bytes(); }

protected:
    void ScheduleKey(const void* key, uint32_t sizeInBits) override;
    void EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) override;
    void DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) override;

private:
    uint32_t F(uint32_t x) const;
    void Encipher(uint32_t& l, uint32_t& r) const;
    void Decipher(uint32_t& l, uint32_t& r) const;

    TKeyArray<std::array<uint32_t, 256>, 4, 0xFF> m_s;
    TKeyArray<uint32_t, 18, 0xFF> m_p;
};

} // namespace lw
