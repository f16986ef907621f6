#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Exception.h"
#include "platform/Stream.h"

namespace lw {

class EBZip2Error : public Exception {
public:
    using Exception::Exception;
    // A return code of the library; the message is "error <code>".
    explicit EBZip2Error(int code);
    // The library's return code; 0 when the failure is not the library's.
    int Code() const noexcept { return m_code; }

private:
    int m_code = 0;
};
class EBZCompressionError : public EBZip2Error {
    using EBZip2Error::EBZip2Error;
};
class EBZDecompressionError : public EBZip2Error {
    using EBZip2Error::EBZip2Error;
};

// The code a source that does not start with the compressed data's signature gives
// (bzlib.h stays inside this layer).
inline constexpr int kBZNotCompressed = -5;

// The library's return code in words for messages: "the compressed data ends too early",
// or "bzip2 error <code>" and what it means.
std::string BZip2ErrorText(int code);
// The failure in words: its code's text, or its message when the library had no part in it.
std::string BZip2ErrorText(const EBZip2Error& failure);

inline constexpr const char* kInvalidStreamOperation = "Invalid stream operation";

// Ordinal i selects blocks of (i + 1) * 100,000 bytes.
enum class TBlockSize100k : uint8_t { bs1, bs2, bs3, bs4, bs5, bs6, bs7, bs8, bs9 };

// Common state of the bzip2 streams over a borrowed underlying stream.
class TCustomBZip2Stream : public TStream {
public:
    ~TCustomBZip2Stream() override;

    // Called after each library call made for a read or write.
    std::function<void(TCustomBZip2Stream&)> OnProgress;

protected:
    explicit TCustomBZip2Stream(TStream& stream);
    virtual void Progress();
    // Puts the underlying stream back where this stream left it.
    void RestorePosition();

    static constexpr size_t kBufferSize = 65536;
    struct TRecord; // the library's stream record, kept out of this header

    TStream& m_stream;
    int64_t m_position;
    std::unique_ptr<TRecord> m_record;
    std::array<uint8_t, kBufferSize> m_buffer{};
};

// Write-only: compresses what is written into the destination.
class TBZCompressionStream final : public TCustomBZip2Stream {
public:
    TBZCompressionStream(TBlockSize100k blockSize, TStream& destination);
    // Without Finish the stream is completed quietly here; errors are lost.
    ~TBZCompressionStream() override;

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only offset 0 from the current position: the uncompressed bytes taken so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // Writes the rest of the bzip2 stream and ends the library state. Idempotent.
    void Finish();

private:
    void DrainBuffer(size_t count);
    bool m_finished = false;
};

// Read-only: delivers the decompressed content of the source.
class TBZDecompressionStream final : public TCustomBZip2Stream {
public:
    explicit TBZDecompressionStream(TStream& source);
    ~TBZDecompressionStream() override;

    // A source that ends before the end-of-stream marker raises "error -7".
    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // 0 from the beginning rewinds to source position 0; forward seeks read and discard.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    bool m_streamEnded = false;
};

} // namespace lw
