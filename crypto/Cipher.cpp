#include "crypto/Cipher.h"

#include <array>
#include <optional>
#include <vector>

#include "crypto/Base64.h"
#include "crypto/SecureFill.h"

namespace lw {

void TDCP_cipher::SetKey(const void* key, uint32_t sizeInBits, const void* iv)
{
    (void)key;
    (void)iv;
    if (m_initialized)
        Wipe();
    if (sizeInBits == 0 || sizeInBits % 4 != 0 || sizeInBits > static_cast<uint32_t>(MaxKeySize()))
        throw EDCP_cipher(kInvalidKeySize);
    m_initialized = true;
}

void TDCP_cipher::Encrypt(const void*, void*, uint32_t)
{}
void TDCP_cipher::Decrypt(const void*, void*, uint32_t)
{}

void TDCP_cipher::CipherTextBytes(uint8_t* bytes, uint32_t count, bool encrypt)
{
    if (encrypt)
        Encrypt(bytes, bytes, count);
    else
        Decrypt(bytes, bytes, count);
}

std::string TDCP_cipher::EncryptText(std::string_view text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    CipherTextBytes(bytes.data(), static_cast<uint32_t>(bytes.size()), true);
    return Base64Encode(bytes);
}

std::string TDCP_cipher::DecryptText(std::string_view text)
{
    std::vector<uint8_t> bytes = Base64Decode(text);
    CipherTextBytes(bytes.data(), static_cast<uint32_t>(bytes.size()), false);
    return std::string(bytes.begin(), bytes.end());
}

void TDCP_cipher::SetKeyFromPhrase(std::string_view phrase, const TDCP_hashclass& hash)
{
    if (m_initialized)
        Wipe();
    std::vector<uint8_t> digest;
    try {
        const int32_t hashSize = hash.HashSize();
        if (hashSize <= 0)
            throw EDCP_cipher(kDigestAllocFailed);
        digest.assign(static_cast<size_t>(hashSize / 8), 0);
        {
            auto instance = hash.Create();
            instance->Init();
            instance->UpdateText(phrase);
            instance->Final(digest);
        }
        const int32_t maxKey = MaxKeySize();
        SetKey(digest.data(), static_cast<uint32_t>(maxKey < hashSize ? maxKey : hashSize), nullptr);
        SecureFill(digest.data(), digest.size(), 0xFF);
    } catch (...) {
        SecureFill(digest.data(), digest.size(), 0xFF);
        throw EDCP_cipher(kDigestAllocFailed);
    }
}

// Where a stream lends its bytes the piece goes from the input's bytes to the output's
// without the buffer; the pieces, the bytes and the errors are those of the buffer path.
template <class Op>
uint64_t TDCP_cipher::StreamPieces(TStream& in, TStream& out, uint64_t count, Op op)
{
    // Holds plaintext on one side of the cipher, so no way out may leave it behind.
    std::array<uint8_t, kStreamPiece> buffer;
    const TWipeOnExit wipeBuffer(buffer);
    uint64_t total = 0;
    // One stream both ways could move its bytes under its own read view as it grows.
    const bool views = &in != &out;
    // Encrypt and Decrypt raise only when not keyed; then nothing may reach the output.
    const bool writeViews = views && m_initialized;
    auto piece = [&](uint32_t want) {
        const uint8_t* src = buffer.data();
        uint32_t n = 0;
        if (auto view = views ? in.ReadView(want) : std::nullopt) {
            n = static_cast<uint32_t>(view->size());
            if (n > 0)
                src = view->data();
        } else {
            const int64_t got = in.Read(std::span(buffer.data(), want));
            n = static_cast<uint32_t>(got > 0 ? got : 0);
        }
        total += n;
        std::optional<std::span<uint8_t>> dst;
        if (writeViews) {
            try {
                dst = out.WriteView(n);
            } catch (...) {
                // The failed write comes after the cipher has taken the piece.
                (this->*op)(src, buffer.data(), n);
                throw;
            }
        }
        if (dst) {
            (this->*op)(src, n > 0 ? dst->data() : buffer.data(), n);
            return;
        }
        (this->*op)(src, buffer.data(), n);
        out.WriteBuffer(std::span<const uint8_t>(buffer.data(), n));
    };
    for (uint64_t i = count / kStreamPiece; i > 0; --i)
        piece(kStreamPiece);
    if (count % kStreamPiece != 0)
        piece(static_cast<uint32_t>(count % kStreamPiece));
    return total;
}

uint64_t TDCP_cipher::StreamEncrypt(TStream& in, TStream& out, uint64_t count)
{
    return StreamPieces(in, out, count, &TDCP_cipher::Encrypt);
}

uint64_t TDCP_cipher::StreamDecrypt(TStream& in, TStream& out, uint64_t count)
{
    return StreamPieces(in, out, count, &TDCP_cipher::Decrypt);
}

} // namespace lw
