#pragma once
#include "crypto/Hash.h"
#include "crypto/SecureFill.h"

namespace lw {

// SHA-1 (FIPS 180-1). Its state is wiped with zero bytes.
class TDCP_sha1 final : public THashClass<TDCP_sha1> {
public:
    TDCP_sha1() = default;
    ~TDCP_sha1() override = default; // the state arrays scrub themselves

    static int32_t ClassId() { return 2; }
    static std::string ClassAlgorithm() { return "SHA1"; }
    static int32_t ClassHashSize() { return 160; }
    static bool ClassKnownAnswerTest();

    void Init() override;
    void Final(std::span<uint8_t> digest) override;
    void Wipe() override;
    void Update(std::span<const uint8_t> bytes) override;

    // For checks that the state was cleared.
    std::span<const uint8_t> StateBytes() const { return m_hash.Bytes(); }
    std::span<const uint8_t> BufferBytes() const { return m_buffer.Bytes(); }
    uint64_t BitCount() const { return (uint64_t(m_lenHi) << 32) | m_lenLo; }

private:
    void ProcessBlock();

    uint32_t m_lenHi = 0;
    uint32_t m_lenLo = 0;
    uint32_t m_index = 0;
    TKeyArray<uint32_t, 5, 0x00> m_hash;
    TKeyArray<uint8_t, 64, 0x00> m_buffer;
};

} // namespace lw
