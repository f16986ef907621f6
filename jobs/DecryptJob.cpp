#include <memory>

#include "jobs/CipherFactory.h"
#include "jobs/DecryptChecks.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/SourceGuard.h"
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
        TCommitMode commitMode = TCommitMode::NoReplace;
        if (!job::SettleOutput(outputPath, TJobKind::Decrypt, context.Ask, commitMode))
            return false;
        job::TSourceGuard source(options.SourcePath, options.DeleteSource);
        TAtomicFile output(outputPath, job::OutputPermissions(source.Stream()));
        job::KeyCipher(cipher.get(), options.KeyPhrase.View());
        const int64_t size = source.Size();
        try {
            if (compressed)
                job::DecryptAndDecompress(source.Stream(), *cipher, size, output.Stream(), job::WatchOf(context));
            else
                job::CipherPieces(*cipher, TJobPhase::Decrypting, source.Stream(), output.Stream(), size,
                                  job::WatchOf(context));
        } catch (const EBZip2Error& failure) {
            source.BlameChange();
            throw job::WrongKeyOrCipher(failure, source.Stream(), options);
        } catch (const EJobStopped&) {
            throw;
        } catch (const std::exception&) {
            job::RethrowNamed(source);
        }
        cipher->Wipe();
        cipher.reset();
        source.CheckUnchanged();
        const std::string doubt =
            compressed ? std::string() : job::DoubtAboutOutput(output.Stream(), source.Stream(), options);
        // Before the commit: noise that is not kept never appears under the file's name,
        // and the user can try another cipher or phrase at once.
        const bool askedToKeep = !doubt.empty() && !context.KeepDoubtful;
        if (!doubt.empty() &&
            !(askedToKeep ? job::KeepDoubtfulOutput(doubt, outputPath, context.Ask) : *context.KeepDoubtful)) {
            context.FailureReason = doubt;
            return true;
        }
        output.Commit(commitMode);
        context.OutputPath = outputPath;
        if (options.DeleteSource) {
            if (!doubt.empty() && !job::WipeDespiteDoubt(doubt, options.SourcePath, context.Ask)) {
                context.SourceKept = doubt;
            } else {
                job::ProveThenWipeSource(source, output, outputPath, options, TJobKind::Decrypt, compressed, context);
            }
        }
        context.Ask.AskUser(TMsgDlgType::mtInformation, "File decrypted", mbOK);
        if (!doubt.empty() && !options.DeleteSource && !askedToKeep)
            job::WarnAboutOutput(doubt, context);
        job::RunHandOffs(options, outputPath, true, context);
    } catch (const std::exception& failure) {
        job::ReportFailure(context, failure, TJobKind::Decrypt, options.SourcePath);
    }
    return true;
}

} // namespace lw
