#include <memory>

#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/Wipe.h"
#include "platform/AtomicFile.h"

namespace lw {

bool RunEncryptJob(const TJobOptions& options, TJobContext& context)
{
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(options.CipherIndex);
    std::string outputPath = OutputPath(options, TJobKind::Encrypt);
    try {
        if (!SettleExistingOutput(outputPath, TJobKind::Encrypt, context.Ask))
            return false;
        // The source first: one that cannot be opened leaves nothing behind.
        auto source = std::make_unique<TFileStream>(options.SourcePath, TFileMode::fmOpenReadWriteShared);
        TAtomicFile output(outputPath, job::OutputPermissions(*source));
        job::KeyCipher(cipher.get(), options.KeyPhrase);
        if (options.Compress) {
            job::CompressAndEncrypt(*source, *cipher, output.Stream());
        } else {
            const int64_t size = source->Size();
            job::RequireComplete(cipher->StreamEncrypt(*source, output.Stream(), size), size);
        }
        cipher->Wipe();
        cipher.reset();
        // In place before the source may be wiped.
        output.Commit(TCommitMode::Replace);
        if (options.DeleteSource) {
            std::string why;
            if (!WipeFile(std::move(source), options.SourcePath, context.Ask, &why))
                context.SourceKept = why;
        } else {
            source.reset();
        }
        context.Ask.AskUser(TMsgDlgType::mtInformation, "File encrypted", mbOK);
        job::RunHandOffs(options, outputPath, false, context);
    } catch (const std::exception& failure) {
        job::ReportFailure(context, failure);
    }
    return true;
}

} // namespace lw
