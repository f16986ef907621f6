#pragma once
#include <array>
#include <cstdint>

#include "crypto/Cipher.h"
#include "platform/Stream.h"

// Streams that cut the cipher's work into the very pieces StreamEncrypt and StreamDecrypt
// use (8,192 bytes, the last one shorter), so output stays byte-identical to the
// in-memory path while nothing larger than a piece is held.
namespace lw::job {

// Write-only: encrypts each full piece in place and writes it exactly; Finish writes the
// short last piece. Without Finish the short piece is dropped.
class TCipherWriteStream final : public TStream {
public:
    TCipherWriteStream(TDCP_cipher& cipher, TStream& destination);
    ~TCipherWriteStream() override;

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only offset 0 from the current position: the bytes taken so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    void Finish();

private:
    void Seal(uint32_t count);

    TDCP_cipher& m_cipher;
    TStream& m_destination;
    std::array<uint8_t, TDCP_cipher::kStreamPiece> m_piece{};
    uint32_t m_filled = 0;
    uint64_t m_taken = 0;
    bool m_finished = false;
};

// Read-only: reads count bytes of the source from where it stands, one read per piece,
// and delivers them decrypted. A piece the source cannot fill raises "Stream read error".
class TCipherReadStream final : public TStream {
public:
    TCipherReadStream(TDCP_cipher& cipher, TStream& source, uint64_t count);
    ~TCipherReadStream() override;

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only offset 0 from the current position: the bytes delivered so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // Source bytes read so far.
    uint64_t Consumed() const { return m_consumed; }

private:
    bool Refill();

    TDCP_cipher& m_cipher;
    TStream& m_source;
    uint64_t m_count;
    uint64_t m_consumed = 0;
    uint64_t m_delivered = 0;
    std::array<uint8_t, TDCP_cipher::kStreamPiece> m_piece{};
    uint32_t m_offset = 0;
    uint32_t m_filled = 0;
};

} // namespace lw::job
