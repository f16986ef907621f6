#include <memory>
#include <optional>

#include "jobs/CipherFactory.h"
#include "jobs/DecryptChecks.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/SourceGuard.h"
#include "platform/AtomicFile.h"
#include "platform/Path.h"

namespace lw {

namespace {

TJobOptions CopyWithPhrase(const TJobOptions& options, std::string_view phrase)
{
    TJobOptions copy;
    copy.SourcePath = options.SourcePath;
    copy.KeyPhrase.Assign(phrase);
    copy.CipherIndex = options.CipherIndex;
    copy.DestinationFolder = options.DestinationFolder;
    copy.Compress = options.Compress;
    copy.DeleteSource = options.DeleteSource;
    copy.CopyToClipboard = options.CopyToClipboard;
    copy.RunOutput = options.RunOutput;
    copy.SendByMail = options.SendByMail;
    copy.DeleteAfterMail = options.DeleteAfterMail;
    return copy;
}

// One try with one spelling of the phrase (options.KeyPhrase). When it gives no compressed
// data (".fez") or doubtful noise (".fe2") and this is the first try, returns the phrase's
// other spelling that fits, if one does, with nothing written; otherwise ends the job as
// the user sees it. `note` says which spelling a second try used.
std::optional<TPhraseSpelling> DecryptOnce(std::unique_ptr<TDCP_cipher> cipher, const TJobOptions& options,
                                           const std::string& outputPath, TCommitMode commitMode,
                                           const std::string& note, TJobContext& context)
{
    // Only the name tells: nothing in the file records compression.
    const bool compressed = path::LowerAscii(path::ExtractFileExt(options.SourcePath)) == ".fez";
    const bool firstTry = note.empty();
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
        if (firstTry)
            if (auto spelling = job::FittingSpelling(source.Stream(), options, true))
                return spelling;
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
    if (!doubt.empty() && firstTry)
        if (auto spelling = job::FittingSpelling(source.Stream(), options, false))
            return spelling;
    // Before the commit: noise that is not kept never appears under the file's name,
    // and the user can try another cipher or phrase at once.
    const bool askedToKeep = !doubt.empty() && !context.KeepDoubtful;
    if (!doubt.empty() &&
        !(askedToKeep ? job::KeepDoubtfulOutput(doubt, outputPath, context.Ask) : *context.KeepDoubtful)) {
        context.FailureReason = doubt;
        return std::nullopt;
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
    job::ReportDone(context, "File decrypted", outputPath, note);
    if (!doubt.empty() && !options.DeleteSource && !askedToKeep)
        job::WarnAboutOutput(doubt, context);
    job::RunHandOffs(options, outputPath, true, context);
    return std::nullopt;
}

} // namespace

bool RunDecryptJob(const TJobOptions& options, TJobContext& context)
{
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(options.CipherIndex);
    std::string outputPath = OutputPath(options, TJobKind::Decrypt);
    try {
        TCommitMode commitMode = TCommitMode::NoReplace;
        if (!job::SettleOutput(outputPath, TJobKind::Decrypt, context.Ask, commitMode))
            return false;
        std::optional<TPhraseSpelling> spelling =
            DecryptOnce(std::move(cipher), options, outputPath, commitMode, {}, context);
        if (spelling) {
            // The same job once more with the phrase as the other system wrote it.
            TJobOptions respelled = CopyWithPhrase(options, spelling->Bytes.View());
            DecryptOnce(CreateCipher(options.CipherIndex), respelled, outputPath, commitMode,
                        job::SpellingNote(*spelling), context);
        }
    } catch (const std::exception& failure) {
        job::ReportFailure(context, failure, TJobKind::Decrypt, options.SourcePath);
    }
    return true;
}

} // namespace lw
