#include "jobs/JobSteps.h"

#include <array>
#include <chrono>
#include <thread>

#include "compress/BZip2.h"
#include "crypto/Sha1.h"
#include "jobs/Wipe.h"
#include "platform/FileSystem.h"

namespace lw::job {

mode_t OutputPermissions(const TFileStream& source)
{
    return fs::FileMode(source.Handle()) & 0777;
}

void KeyCipher(TDCP_cipher* cipher, const std::string& phrase)
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

void CompressWhole(TStream& source, TStream& destination)
{
    TBZCompressionStream packer(TBlockSize100k::bs5, destination);
    packer.CopyFrom(source, 0);
    packer.Finish();
}

void DecompressWhole(TStream& source, TStream& destination)
{
    TBZDecompressionStream unpacker(source);
    std::array<uint8_t, 4096> piece;
    for (;;) {
        const int64_t n = unpacker.Read(piece);
        if (n <= 0)
            break;
        destination.WriteBuffer(std::span<const uint8_t>(piece.data(), static_cast<size_t>(n)));
    }
}

void RunHandOffs(const TJobOptions& options, const std::string& outputPath, bool decrypting,
                 TJobContext& context)
{
    if (options.CopyToClipboard) {
        context.HandOff.PutFileOnClipboard(outputPath);
        context.HandOff.ProcessPendingEvents();
    }
    if (decrypting && options.RunOutput)
        context.HandOff.OpenWithAssociatedApp(outputPath);
    if (options.SendByMail && context.HandOff.SendFileToMailClient(outputPath)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (options.DeleteAfterMail)
            WipeFile(nullptr, outputPath, context.Ask);
    }
}

void ReportFailure(TJobContext& context, const std::exception& failure)
{
    context.FailureReason = failure.what();
    context.Ask.AskUser(TMsgDlgType::mtError, "File IO error", mbOK);
}

} // namespace lw::job
