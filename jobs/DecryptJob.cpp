#include <memory>

#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/Wipe.h"
#include "platform/AtomicFile.h"
#include "platform/Path.h"

namespace lw {

bool RunDecryptJob(const TJobOptions& options, TJobContext& context)
{
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(options.CipherIndex);
    // Only the name tells: nothing in the file records compression.
    const bool compressed = path::LowerAscii(path::ExtractFileExt(options.SourcePath)) == ".fez";
    std::string outputPath = OutputPath(options, TJobKind::Decrypt);
    try {
        if (!SettleExistingOutput(outputPath, TJobKind::Decrypt, context.Ask))
            return false;
        auto source = std::make_unique<TFileStream>(options.SourcePath, TFileMode::fmOpenReadShared);
        TAtomicFile output(outputPath, job::OutputPermissions(*source));
        job::KeyCipher(cipher.get(), options.KeyPhrase);
        const int64_t size = source->Size();
        if (compressed) {
            job::DecryptAndDecompress(*source, *cipher, size, output.Stream());
        } else {
            job::RequireComplete(cipher->StreamDecrypt(*source, output.Stream(), size), size);
        }
        cipher->Wipe();
        cipher.reset();
        output.Commit(TCommitMode::Replace);
        source.reset();
        if (options.DeleteSource) {
            std::string why;
            if (!WipeFile(nullptr, options.SourcePath, context.Ask, &why))
                context.SourceKept = why;
        }
        context.Ask.AskUser(TMsgDlgType::mtInformation, "File decrypted", mbOK);
        job::RunHandOffs(options, outputPath, true, context);
    } catch (const std::exception& failure) {
        job::ReportFailure(context, failure);
    }
    return true;
}

} // namespace lw
