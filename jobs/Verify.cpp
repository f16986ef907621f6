#include "jobs/Verify.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "compress/BZip2.h"
#include "compress/ParallelBZip2Decompressor.h"
#include "crypto/SecureFill.h"
#include "jobs/CipherFactory.h"
#include "jobs/CipherPieceStreams.h"
#include "jobs/JobSteps.h"

namespace lw::job {
namespace {

constexpr size_t kCompareChunk = 64 * 1024;

// Reads until the buffer is full or the stream ends.
size_t Fill(TStream& stream, std::span<uint8_t> buffer)
{
    size_t done = 0;
    while (done < buffer.size()) {
        const int64_t n = stream.Read(buffer.subspan(done));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

// Both hold plaintext: scrubbed however the comparison ends.
struct TCompareBuffers {
    std::array<uint8_t, kCompareChunk> decoded{};
    std::array<uint8_t, kCompareChunk> plain{};
    ~TCompareBuffers()
    {
        SecureFill(decoded.data(), decoded.size(), 0);
        SecureFill(plain.data(), plain.size(), 0);
    }
};

bool SameContent(TStream& decoded, TStream& plain, const TCipherReadStream& opened, TPhaseMeter& meter)
{
    auto buffers = std::make_unique<TCompareBuffers>();
    for (;;) {
        meter.Step(static_cast<int64_t>(opened.Consumed()));
        const size_t a = Fill(decoded, buffers->decoded);
        const size_t b = Fill(plain, buffers->plain);
        if (a != b || std::memcmp(buffers->decoded.data(), buffers->plain.data(), a) != 0)
            return false;
        if (a < kCompareChunk)
            return true;
    }
}

} // namespace

void VerifyDecodesTo(TStream& encrypted, int64_t count, TStream& plain, int32_t cipherIndex, std::string_view phrase,
                     bool compressed, const std::string& outputPath, const TWatch& watch)
{
    TPhaseMeter meter(watch, TJobPhase::Verifying, std::max<int64_t>(count, 0));
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(cipherIndex);
    KeyCipher(cipher.get(), phrase);
    encrypted.SetPosition(0);
    plain.SetPosition(0);
    bool same = false;
    try {
        TCipherReadStream opened(*cipher, encrypted, static_cast<uint64_t>(std::max<int64_t>(count, 0)));
        if (compressed) {
            TParallelBZDecompressor unpacked(opened, WorkerThreads());
            same = SameContent(unpacked, plain, opened, meter);
        } else {
            same = SameContent(opened, plain, opened, meter);
        }
        same = same && opened.Consumed() == static_cast<uint64_t>(std::max<int64_t>(count, 0));
    } catch (const EBZip2Error& failure) {
        // Damaged or cut short on the disk: as much a difference as a wrong byte.
        if (failure.Code() == 0)
            throw;
    } catch (const EReadError& failure) {
        // Shorter than it was: an OS error says more and goes on.
        if (failure.Message() != kStreamReadError)
            throw;
    }
    cipher->Wipe();
    if (!same)
        throw EVerifyFailed("\"" + outputPath + "\" does not match its source when read back; the source was kept");
    meter.Finish();
}

std::unique_ptr<TFileStream> ReopenCommitted(const std::string& path, const fs::TFileIdentity& written)
{
    auto stream = std::make_unique<TFileStream>(path, TFileMode::fmOpenReadShared);
    fs::TFileIdentity now;
    if (!fs::IdentityOf(stream->Handle(), now) || !now.SameFile(written))
        throw EVerifyFailed("\"" + path + "\" was replaced before it could be read back; the source was kept");
    fs::DropCachedPages(stream->Handle());
    return stream;
}

} // namespace lw::job
