#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "crypto/BlockCipher.h"

namespace lw {

struct TAesRoundKeys;

// 128-bit block cipher (AES). Whole key bytes pick the variant: up to 16 bytes gives
// 10 rounds, up to 24 gives 12, more gives 14; a short key is padded with zero bytes.
class TDCP_rijndael final : public TCipherClass<TDCP_rijndael, TDCP_blockcipher128> {
public:
    static int32_t ClassId() { return 9; }
    static std::string ClassAlgorithm() { return "Rijndael"; }
    static int32_t ClassMaxKeySize() { return 256; }
    static bool ClassKnownAnswerTest();

    void Wipe() override;
    void EncryptBlock(const void* in, void* out) override;
    void DecryptBlock(const void* in, void* out) override;

    // Read-only views for checks that the schedule was wiped.
    uint32_t Rounds() const { return RoundCount; }
    std::span<const uint8_t> EncryptRoundKeyBytes() const { return EncryptRoundKeys.Bytes(); }
    std::span<const uint8_t> DecryptRoundKeyBytes() const { return DecryptRoundKeys.Bytes(); }

    static constexpr size_t kMaxRounds = 14;

protected:
    void ScheduleKey(const void* key, uint32_t sizeInBits) override;
    void EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) override;
    void DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) override;

private:
    using TRoundKey = std::array<uint32_t, 8>;

    TAesRoundKeys InstructionKeys() const;
    void EncryptBlockTable(const void* in, void* out);
    void DecryptBlockTable(const void* in, void* out);

    // Words hold a column with row 0 in the low byte; only words 0..3 of a row are used.
    uint32_t RoundCount = 0;
    TKeyArray<TRoundKey, kMaxRounds + 1, 0x00> EncryptRoundKeys;
    TKeyArray<TRoundKey, kMaxRounds + 1, 0x00> DecryptRoundKeys;
};

} // namespace lw
