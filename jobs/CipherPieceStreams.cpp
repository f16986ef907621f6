#include "jobs/CipherPieceStreams.h"

#include <algorithm>
#include <cstring>

#include "compress/BZip2.h"
#include "crypto/SecureFill.h"
#include "platform/Exception.h"

namespace lw::job {

namespace {
constexpr uint32_t kPiece = TDCP_cipher::kStreamPiece;
}

TCipherWriteStream::TCipherWriteStream(TDCP_cipher& cipher, TStream& destination)
    : m_cipher(cipher), m_destination(destination)
{}

TCipherWriteStream::~TCipherWriteStream()
{
    SecureFill(m_piece.data(), m_piece.size(), 0);
}

int64_t TCipherWriteStream::Read(std::span<uint8_t>)
{
    throw EStreamError(kInvalidStreamOperation);
}

int64_t TCipherWriteStream::Write(std::span<const uint8_t> buffer)
{
    if (m_finished)
        throw EStreamError(kInvalidStreamOperation);
    for (auto rest = buffer; !rest.empty();) {
        const size_t n = std::min<size_t>(rest.size(), kPiece - m_filled);
        std::memcpy(m_piece.data() + m_filled, rest.data(), n);
        m_filled += static_cast<uint32_t>(n);
        rest = rest.subspan(n);
        if (m_filled == kPiece)
            Seal(kPiece);
    }
    m_taken += buffer.size();
    return static_cast<int64_t>(buffer.size());
}

int64_t TCipherWriteStream::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EStreamError(kInvalidStreamOperation);
    return static_cast<int64_t>(m_taken);
}

void TCipherWriteStream::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_filled > 0)
        Seal(m_filled);
}

void TCipherWriteStream::Seal(uint32_t count)
{
    m_filled = 0;
    m_cipher.Encrypt(m_piece.data(), m_piece.data(), count);
    m_destination.WriteBuffer(std::span<const uint8_t>(m_piece.data(), count));
}

// ---------------------------------------------------------------------------

TCipherReadStream::TCipherReadStream(TDCP_cipher& cipher, TStream& source, uint64_t count)
    : m_cipher(cipher), m_source(source), m_count(count)
{}

TCipherReadStream::~TCipherReadStream()
{
    SecureFill(m_piece.data(), m_piece.size(), 0);
}

int64_t TCipherReadStream::Read(std::span<uint8_t> buffer)
{
    size_t done = 0;
    while (done < buffer.size()) {
        if (m_offset == m_filled && !Refill())
            break;
        const size_t n = std::min<size_t>(buffer.size() - done, m_filled - m_offset);
        std::memcpy(buffer.data() + done, m_piece.data() + m_offset, n);
        m_offset += static_cast<uint32_t>(n);
        done += n;
    }
    m_delivered += done;
    return static_cast<int64_t>(done);
}

int64_t TCipherReadStream::Write(std::span<const uint8_t>)
{
    throw EStreamError(kInvalidStreamOperation);
}

int64_t TCipherReadStream::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EStreamError(kInvalidStreamOperation);
    return static_cast<int64_t>(m_delivered);
}

bool TCipherReadStream::Refill()
{
    const uint64_t left = m_count - m_consumed;
    if (left == 0)
        return false;
    // Full pieces first, then the remainder: the cuts StreamDecrypt makes.
    const auto want = static_cast<uint32_t>(std::min<uint64_t>(left, kPiece));
    const int64_t got = m_source.Read(std::span(m_piece.data(), want));
    if (got != static_cast<int64_t>(want)) {
        // A source that ends early fails here, before half a piece reaches the decompressor.
        m_consumed += got > 0 ? static_cast<uint64_t>(got) : 0;
        throw EReadError(kStreamReadError);
    }
    m_consumed += want;
    m_cipher.Decrypt(m_piece.data(), m_piece.data(), want);
    m_offset = 0;
    m_filled = want;
    return true;
}

} // namespace lw::job
