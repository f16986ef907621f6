#include "jobs/JobSteps.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include "compress/BZip2.h"
#include "compress/ParallelBZip2Compressor.h"
#include "compress/ParallelBZip2Decompressor.h"
#include "jobs/CipherPieceStreams.h"
#include "jobs/SourceGuard.h"
#include "jobs/Verify.h"
#include "crypto/Sha1.h"
#include "jobs/Wipe.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw::job {

namespace {
// The reads and writes the in-memory path made: copy pieces in, 4,096-byte pieces out.
constexpr int64_t kReadPiece = TStream::kMaxCopyPiece;
constexpr size_t kWritePiece = 4096;
// Pieces per call between two looks at the watch: a report per MiB costs nothing measurable.
constexpr int64_t kCipherStretch = 128 * int64_t{TDCP_cipher::kStreamPiece};

// A desktop mail program may read the attachment only when the user sends the message,
// long after the hand-off returned, so the user decides whether the output goes now.
// Only a plain Yes wipes: the close box answers Cancel, which keeps the file too.
bool DeleteMailedOutputNow(const std::string& outputPath, IAskUser& ask)
{
    const std::string text = "The mail program may read \"" + path::ExtractFileName(outputPath) +
                             "\" only when the message is sent. Delete it now?";
    return ask.AskUser(TMsgDlgType::mtConfirmation, text, mbYes | mbNo) == mbYes;
}
} // namespace

bool SettleOutput(std::string& outputPath, TJobKind kind, IAskUser& ask, TCommitMode& mode)
{
    const std::string asked = outputPath;
    const bool existed = fs::FileExists(outputPath);
    if (!SettleExistingOutput(outputPath, kind, ask))
        return false;
    mode = existed && outputPath == asked ? TCommitMode::Replace : TCommitMode::NoReplace;
    return true;
}

void ProveThenWipeSource(TSourceGuard& source, const TAtomicFile& output, const std::string& outputPath,
                         const TJobOptions& options, TJobKind kind, bool compressed, TJobContext& context)
{
    const TWatch watch = WatchOf(context);
    try {
        auto readBack = ReopenCommitted(outputPath, output.Committed());
        if (kind == TJobKind::Encrypt)
            VerifyDecodesTo(*readBack, readBack->Size(), source.Stream(), options.CipherIndex, options.KeyPhrase.View(),
                            compressed, outputPath, watch);
        else
            VerifyDecodesTo(source.Stream(), source.Size(), *readBack, options.CipherIndex, options.KeyPhrase.View(),
                            compressed, outputPath, watch);
        // Not even the wipe's question once the user has stopped.
        if (watch.Stop && watch.Stop->Requested())
            throw EJobStopped();
    } catch (const EJobStopped&) {
        context.Stopped = true;
        context.SourceKept = kStoppedReason;
        return;
    } catch (const std::exception&) {
        source.BlameChange();
        throw;
    }
    source.CheckUnchanged();
    std::string why;
    context.SourceWipe =
        WipeFile(source.Release(), options.SourcePath, context.Ask, &why, context.Progress, context.Stop);
    if (context.SourceWipe != TWipeEnd::Deleted) {
        context.SourceKept = why;
        context.Stopped = context.Stop && context.Stop->Requested();
    }
}

mode_t OutputPermissions(const TFileStream& source)
{
    return fs::FileMode(source.Handle()) & 0777;
}

void KeyCipher(TDCP_cipher* cipher, std::string_view phrase)
{
    if (!cipher)
        throw EDCP_cipher("No cipher selected");
    cipher->SetKeyFromPhrase(phrase, HashClass<TDCP_sha1>());
}

void RequireComplete(uint64_t done, int64_t expected)
{
    if (expected < 0 || done != static_cast<uint64_t>(expected))
        throw EReadError(kStreamReadError);
}

TWatch WatchOf(const TJobContext& context)
{
    return TWatch{context.Progress, context.Stop};
}

void CipherPieces(TDCP_cipher& cipher, TJobPhase phase, TStream& in, TStream& out, int64_t count, const TWatch& watch)
{
    if (count < 0)
        throw EReadError(kStreamReadError);
    TPhaseMeter meter(watch, phase, count);
    const bool encrypt = phase == TJobPhase::Encrypting;
    uint64_t done = 0;
    for (int64_t at = 0; at < count;) {
        // Whole pieces but for the last stretch: the cuts one call over count would make.
        const auto n = static_cast<uint64_t>(std::min(count - at, kCipherStretch));
        done += encrypt ? cipher.StreamEncrypt(in, out, n) : cipher.StreamDecrypt(in, out, n);
        at += static_cast<int64_t>(n);
        meter.Step(static_cast<int64_t>(done));
    }
    RequireComplete(done, count);
    meter.Finish();
}

unsigned WorkerThreads()
{
    return std::max(std::thread::hardware_concurrency(), 1u);
}

void CompressAndEncrypt(TStream& source, TDCP_cipher& cipher, TStream& destination, const TWatch& watch)
{
    TCipherWriteStream sealed(cipher, destination);
    TParallelBZCompressor packer(TBlockSize100k::bs5, sealed, WorkerThreads());
    source.SetPosition(0);
    const int64_t size = source.Size();
    TPhaseMeter meter(watch, TJobPhase::Compressing, size);
    std::vector<uint8_t> piece(kReadPiece);
    int64_t done = 0;
    while (done < size) {
        const int64_t n =
            source.Read(std::span(piece.data(), static_cast<size_t>(std::min<int64_t>(size - done, kReadPiece))));
        if (n <= 0)
            break;
        packer.WriteBuffer(std::span<const uint8_t>(piece.data(), static_cast<size_t>(n)));
        done += n;
        meter.Step(done);
    }
    RequireComplete(static_cast<uint64_t>(done), size);
    packer.Finish();
    sealed.Finish();
    meter.Finish();
}

void DecryptAndDecompress(TStream& source, TDCP_cipher& cipher, int64_t count, TStream& destination,
                          const TWatch& watch)
{
    if (count < 0)
        throw EReadError(kStreamReadError);
    TPhaseMeter meter(watch, TJobPhase::Decompressing, count);
    TCipherReadStream opened(cipher, source, static_cast<uint64_t>(count));
    {
        TParallelBZDecompressor unpacker(opened, WorkerThreads());
        std::vector<uint8_t> piece(kWritePiece);
        for (;;) {
            const int64_t n = unpacker.Read(piece);
            if (n <= 0)
                break;
            destination.WriteBuffer(std::span<const uint8_t>(piece.data(), static_cast<size_t>(n)));
            meter.Step(static_cast<int64_t>(opened.Consumed()));
        }
    }
    RequireComplete(opened.Consumed(), count);
    meter.Finish();
}

void ReportDone(TJobContext& context, const char* text, const std::string& outputPath, const std::string& note)
{
    context.Ask.AskUserWithDetail(TMsgDlgType::mtInformation, text,
                                  note.empty() ? outputPath : outputPath + "\n" + note, mbOK);
}

void RunHandOffs(const TJobOptions& options, const std::string& outputPath, bool decrypting, TJobContext& context)
{
    if (context.Stopped)
        return;
    if (options.CopyToClipboard) {
        context.HandOff.PutFileOnClipboard(outputPath);
        context.HandOff.ProcessPendingEvents();
    }
    if (decrypting && options.RunOutput)
        context.HandOff.OpenWithAssociatedApp(outputPath);
    if (options.SendByMail && context.HandOff.SendFileToMailClient(outputPath)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (options.DeleteAfterMail && DeleteMailedOutputNow(outputPath, context.Ask))
            WipeFile(nullptr, outputPath, context.Ask);
    }
}

void RethrowNamed(TSourceGuard& source)
{
    source.BlameChange();
    try {
        throw;
    } catch (const EBZip2Error& failure) {
        throw EBZCompressionError("Cannot compress " + source.Path() + ": " + BZip2ErrorText(failure));
    } catch (const EReadError& failure) {
        // Here only the source is read, and an OS error would have named itself.
        if (failure.Message() == kStreamReadError)
            throw EReadError("The source ended early while it was read: " + source.Path());
        throw;
    }
}

void ReportFailure(TJobContext& context, const std::exception& failure, TJobKind kind, const std::string& sourcePath)
{
    if (dynamic_cast<const EJobStopped*>(&failure)) {
        context.Stopped = true;
        context.FailureReason = kStoppedFailure;
        return;
    }
    if (dynamic_cast<const Exception*>(&failure)) {
        context.FailureReason = failure.what();
    } else {
        const std::string what = dynamic_cast<const std::bad_alloc*>(&failure) ? kNotEnoughMemory : failure.what();
        context.FailureReason =
            (kind == TJobKind::Encrypt ? "Cannot encrypt " : "Cannot decrypt ") + sourcePath + ": " + what;
    }
    context.Ask.AskUserWithDetail(TMsgDlgType::mtError, "File IO error", context.FailureReason, mbOK);
}

} // namespace lw::job
