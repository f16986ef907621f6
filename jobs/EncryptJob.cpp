#include <memory>

#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/SourceGuard.h"
#include "platform/AtomicFile.h"

namespace lw {

bool RunEncryptJob(const TJobOptions& options, TJobContext& context)
{
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(options.CipherIndex);
    std::string outputPath = OutputPath(options, TJobKind::Encrypt);
    try {
        TCommitMode commitMode = TCommitMode::NoReplace;
        if (!job::SettleOutput(outputPath, TJobKind::Encrypt, context.Ask, commitMode))
            return false;
        // The source first: one that cannot be opened leaves nothing behind.
        job::TSourceGuard source(options.SourcePath, options.DeleteSource);
        TAtomicFile output(outputPath, job::OutputPermissions(source.Stream()));
        job::KeyCipher(cipher.get(), options.KeyPhrase.View());
        try {
            if (options.Compress) {
                job::CompressAndEncrypt(source.Stream(), *cipher, output.Stream(), job::WatchOf(context));
            } else {
                const int64_t size = source.Size();
                job::CipherPieces(*cipher, TJobPhase::Encrypting, source.Stream(), output.Stream(), size,
                                  job::WatchOf(context));
            }
        } catch (const EJobStopped&) {
            throw;
        } catch (const std::exception&) {
            job::RethrowNamed(source);
        }
        cipher->Wipe();
        cipher.reset();
        source.CheckUnchanged();
        // In place before the source may be wiped.
        output.Commit(commitMode);
        context.OutputPath = outputPath;
        if (options.DeleteSource)
            job::ProveThenWipeSource(source, output, outputPath, options, TJobKind::Encrypt, options.Compress, context);
        job::ReportDone(context, "File encrypted", outputPath);
        job::RunHandOffs(options, outputPath, false, context);
    } catch (const std::exception& failure) {
        job::ReportFailure(context, failure, TJobKind::Encrypt, options.SourcePath);
    }
    return true;
}

} // namespace lw
