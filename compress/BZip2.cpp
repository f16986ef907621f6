#include "compress/BZip2.h"

#include <algorithm>
#include <string>

#include "compress/BZip2Library.h"

namespace lw {

namespace {

// The library's counters are 32-bit; larger spans go in pieces.
constexpr size_t kMaxPiece = size_t{1} << 30;
constexpr size_t kSkipPiece = 4096;
constexpr std::array<uint8_t, 9> BLOCK_SIZES = {1, 2, 3, 4, 5, 6, 7, 8, 9};

int64_t Total(unsigned lo32, unsigned hi32)
{
    return static_cast<int64_t>((static_cast<uint64_t>(hi32) << 32) | lo32);
}

} // namespace

static_assert(kBZNotCompressed == BZ_DATA_ERROR_MAGIC);

EBZip2Error::EBZip2Error(int code) : Exception("error " + std::to_string(code)), m_code(code)
{}

std::string BZip2ErrorText(int code)
{
    // What each code means where this program meets it: a sequence error comes only from
    // a decompressor given bytes after the end of its stream.
    const auto numbered = [code](const char* meaning) {
        return "bzip2 error " + std::to_string(code) + " (" + meaning + ")";
    };
    switch (code) {
    case BZ_SEQUENCE_ERROR: return numbered("data follows the end of the compressed data");
    case BZ_PARAM_ERROR: return numbered("invalid parameter");
    case BZ_MEM_ERROR: return kNotEnoughMemory;
    case BZ_DATA_ERROR: return "the compressed data is damaged or the key phrase or cipher is wrong";
    case BZ_DATA_ERROR_MAGIC: return numbered("not compressed data");
    case BZ_IO_ERROR: return numbered("input/output error");
    case BZ_UNEXPECTED_EOF: return "the compressed data ends too early";
    case BZ_OUTBUFF_FULL: return numbered("output buffer full");
    case BZ_CONFIG_ERROR: return numbered("library built wrongly for this system");
    default: return "bzip2 error " + std::to_string(code);
    }
}

std::string BZip2ErrorText(const EBZip2Error& failure)
{
    return failure.Code() != 0 ? BZip2ErrorText(failure.Code()) : failure.Message();
}

struct TCustomBZip2Stream::TRecord : bz::TLibStream {
    using TLibStream::TLibStream;
};

TCustomBZip2Stream::TCustomBZip2Stream(TStream& stream) : m_stream(stream), m_position(stream.Position())
{}

TCustomBZip2Stream::~TCustomBZip2Stream() = default;

void TCustomBZip2Stream::Progress()
{
    if (OnProgress)
        OnProgress(*this);
}

void TCustomBZip2Stream::RestorePosition()
{
    if (m_stream.Position() != m_position)
        m_stream.SetPosition(m_position);
}

// ---------------------------------------------------------------------------

TBZCompressionStream::TBZCompressionStream(TBlockSize100k blockSize, TStream& destination)
    : TCustomBZip2Stream(destination)
{
    // An out-of-range choice reaches the library as 0, which it refuses.
    const auto ordinal = static_cast<size_t>(blockSize);
    const int size100k = ordinal < BLOCK_SIZES.size() ? BLOCK_SIZES[ordinal] : 0;
    m_record = std::make_unique<TRecord>(TRecord::TMode::compress, size100k);
    bz_stream& z = m_record->z;
    z.next_out = reinterpret_cast<char*>(m_buffer.data());
    z.avail_out = kBufferSize;
}

TBZCompressionStream::~TBZCompressionStream()
{
    try {
        Finish();
    } catch (...) {
        // Finish has ended the library state; the error has nowhere to go from here.
    }
}

int64_t TBZCompressionStream::Read(std::span<uint8_t>)
{
    throw EBZCompressionError(kInvalidStreamOperation);
}

int64_t TBZCompressionStream::Write(std::span<const uint8_t> buffer)
{
    if (m_finished)
        throw EBZCompressionError(kInvalidStreamOperation);
    if (buffer.empty())
        return 0;
    bz_stream& z = m_record->z;
    RestorePosition();
    for (auto rest = buffer; !rest.empty();) {
        const size_t n = std::min(rest.size(), kMaxPiece);
        z.next_in = const_cast<char*>(reinterpret_cast<const char*>(rest.data()));
        z.avail_in = static_cast<unsigned>(n);
        rest = rest.subspan(n);
        while (z.avail_in > 0) {
            bz::Check<EBZCompressionError>(BZ2_bzCompress(&z, BZ_RUN));
            if (z.avail_out == 0)
                DrainBuffer(kBufferSize);
            Progress();
        }
    }
    z.next_in = nullptr;
    return static_cast<int64_t>(buffer.size());
}

int64_t TBZCompressionStream::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EBZCompressionError(kInvalidStreamOperation);
    return Total(m_record->z.total_in_lo32, m_record->z.total_in_hi32);
}

void TBZCompressionStream::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    bz_stream& z = m_record->z;
    // Ended on the way out, failed or not: a finished stream holds no library memory.
    struct TEndGuard {
        bz::TLibStream& lib;
        ~TEndGuard() { lib.End(); }
    } guard{*m_record};

    // A failed write may have left its input behind; it is not ours to read any more.
    z.next_in = nullptr;
    z.avail_in = 0;
    RestorePosition();
    for (;;) {
        const int rc = bz::Check<EBZCompressionError>(BZ2_bzCompress(&z, BZ_FINISH));
        if (rc == BZ_STREAM_END || z.avail_out != 0)
            break;
        DrainBuffer(kBufferSize);
    }
    if (z.avail_out < kBufferSize)
        DrainBuffer(kBufferSize - z.avail_out);
}

void TBZCompressionStream::DrainBuffer(size_t count)
{
    m_stream.WriteBuffer(std::span<const uint8_t>(m_buffer.data(), count));
    bz_stream& z = m_record->z;
    z.next_out = reinterpret_cast<char*>(m_buffer.data());
    z.avail_out = kBufferSize;
    m_position = m_stream.Position();
}

// ---------------------------------------------------------------------------

TBZDecompressionStream::TBZDecompressionStream(TStream& source) : TCustomBZip2Stream(source)
{
    m_record = std::make_unique<TRecord>(TRecord::TMode::decompress);
    bz_stream& z = m_record->z;
    z.next_in = reinterpret_cast<char*>(m_buffer.data());
    z.avail_in = 0;
}

TBZDecompressionStream::~TBZDecompressionStream() = default;

int64_t TBZDecompressionStream::Read(std::span<uint8_t> buffer)
{
    if (buffer.empty())
        return 0;
    buffer = buffer.first(std::min(buffer.size(), kMaxPiece));
    bz_stream& z = m_record->z;
    z.next_out = reinterpret_cast<char*>(buffer.data());
    z.avail_out = static_cast<unsigned>(buffer.size());
    RestorePosition();
    while (z.avail_out > 0) {
        if (z.avail_in == 0) {
            const int64_t got = m_stream.Read(m_buffer);
            if (got <= 0) {
                // Data that stops short of the end-of-stream marker is damaged, not finished.
                if (!m_streamEnded)
                    bz::Check<EBZDecompressionError>(BZ_UNEXPECTED_EOF);
                break;
            }
            z.next_in = reinterpret_cast<char*>(m_buffer.data());
            z.avail_in = static_cast<unsigned>(got);
            m_position = m_stream.Position();
        }
        // Past the end the library answers BZ_SEQUENCE_ERROR, so trailing bytes raise.
        if (bz::Check<EBZDecompressionError>(BZ2_bzDecompress(&z)) == BZ_STREAM_END)
            m_streamEnded = true;
        Progress();
    }
    const auto delivered = static_cast<int64_t>(buffer.size() - z.avail_out);
    z.next_out = nullptr;
    z.avail_out = 0;
    return delivered;
}

int64_t TBZDecompressionStream::Write(std::span<const uint8_t>)
{
    throw EBZDecompressionError(kInvalidStreamOperation);
}

int64_t TBZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin)
{
    bz_stream& z = m_record->z;
    if (offset == 0 && origin == TSeekOrigin::soBeginning) {
        m_record->Restart();
        z.next_in = reinterpret_cast<char*>(m_buffer.data());
        z.avail_in = 0;
        m_streamEnded = false;
        // The absolute start of the source, not where this stream was created.
        m_stream.SetPosition(0);
        m_position = 0;
    } else {
        const int64_t delivered = Total(z.total_out_lo32, z.total_out_hi32);
        int64_t distance;
        if (origin == TSeekOrigin::soCurrent && offset >= 0)
            distance = offset;
        else if (origin == TSeekOrigin::soBeginning && offset > delivered)
            distance = offset - delivered;
        else
            throw EBZDecompressionError(kInvalidStreamOperation);
        std::array<uint8_t, kSkipPiece> discard;
        for (; distance >= static_cast<int64_t>(kSkipPiece); distance -= kSkipPiece)
            ReadBuffer(discard);
        ReadBuffer(std::span(discard).first(static_cast<size_t>(distance)));
    }
    return Total(z.total_out_lo32, z.total_out_hi32);
}

} // namespace lw
