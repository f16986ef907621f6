#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "crypto/BlockCipher.h"
#include "crypto/SerpentSimd.h"

namespace lw {

// 128-bit block cipher, 32 rounds, computed in bitslice form. Key and block bytes map
// onto little-endian 32-bit words in memory order; a key shorter than 256 bits gets one
// 1 bit right above it.
class TDCP_serpent final : public TCipherClass<TDCP_serpent, TDCP_blockcipher128> {
public:
    using TWords = std::array<uint32_t, 4>;

    static int32_t ClassId() { return 26; }
    static std::string ClassAlgorithm() { return "Serpent"; }
    static int32_t ClassMaxKeySize() { return 256; }
    static bool ClassKnownAnswerTest();

    void Wipe() override;
    void EncryptBlock(const void* in, void* out) override;
    void DecryptBlock(const void* in, void* out) override;

    // Caps the vector level this object uses (tests force each level and the scalar
    // code); Lanes() is the level it uses on this CPU.
    void LimitLanes(TSerpentLanes cap) { m_laneCap = cap; }
    TSerpentLanes Lanes() const;

    // Read-only view for checks that the schedule was wiped.
    std::span<const uint8_t> SubKeyBytes() const { return SubKeys.Bytes(); }

    // The S-box circuits the rounds use, bit position j of x[0..3] being one input with
    // x[0] its low bit; box is taken modulo 8.
    static void ApplySbox(unsigned box, TWords& x);
    static void ApplyInverseSbox(unsigned box, TWords& x);

protected:
    void ScheduleKey(const void* key, uint32_t sizeInBits) override;
    void EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) override;
    void DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) override;

private:
    // Round keys K0..K32, K_i in words 4i..4i+3.
    TKeyArray<uint32_t, 132, 0x00> SubKeys;
    TSerpentLanes m_laneCap = TSerpentLanes::Avx512;
};

} // namespace lw
