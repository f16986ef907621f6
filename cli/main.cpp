// lockwell-cli: the file jobs and the wipe without a window, for scripts and machines
// without a display.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ConsoleAskUser.h"
#include "cli/ConsoleHandOff.h"
#include "cli/DefaultCipher.h"
#include "cli/KeyPhrase.h"
#include "cli/ProgressLine.h"
#include "crypto/SecureFill.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"
#include "platform/TempFileCleanup.h"
#include "platform/Terminal.h"

namespace {

using namespace lw;
using namespace lw::cli;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

int Fail(const std::string& message, int status)
{
    std::fprintf(stderr, "lockwell-cli: %s\n", message.c_str());
    return status;
}

bool ShowsProgress(const TCliOptions& o) { return !o.Quiet && StandardErrorIsTerminal(); }

int RunWipe(const TCliOptions& o, TConsoleAskUser& ask)
{
    std::string why;
    TStopRequest stop;
    TProgressLine line(ShowsProgress(o), stop, &TInterruptAsStop::Requested);
    TAskBelowProgress boxes(ask, line);
    bool deleted = false;
    {
        TInterruptAsStop interrupts;
        deleted = WipeFile(nullptr, o.File, boxes, &why, &line, &stop);
    }
    line.Clear();
    std::fprintf(stderr, "%s\n", deleted ? "File deleted" : "File NOT deleted");
    if (!deleted && !why.empty())
        std::fprintf(stderr, "%s\n", why.c_str());
    return deleted ? kDone : kFailed;
}

int RunJob(const TCliOptions& o, TConsoleAskUser& ask, TTerminal& terminal)
{
    const bool encrypt = o.Command == TCommand::Encrypt;
    TJobOptions options;
    // Scrubbed on every way out, a job that throws included.
    TScrubOnExit scrub(options.KeyPhrase);
    options.SourcePath = o.File;
    options.CipherIndex = o.CipherIndex >= 0 ? o.CipherIndex : DefaultCipherIndex();
    options.DestinationFolder = o.DestinationFolder;
    options.Compress = o.Compress;
    options.DeleteSource = o.DeleteSource;
    try {
        if (o.PhraseFile)
            ReadPhraseFile(*o.PhraseFile, options.KeyPhrase);
        else
            AskPhrase(terminal, encrypt, options.KeyPhrase);
    } catch (const EPhrase& e) {
        return Fail(e.Message(), (o.PhraseFile || terminal.Available()) ? kFailed : kBadUsage);
    }
    // Decrypting with one stays possible: files made with an empty phrase must open.
    if (encrypt && options.KeyPhrase.empty())
        return Fail("the key phrase is empty: anyone could decrypt the file", kFailed);

    TConsoleHandOff handOff;
    TStopRequest stop;
    TProgressLine line(ShowsProgress(o), stop, &TInterruptAsStop::Requested);
    TAskBelowProgress boxes(ask, line);
    TJobContext context{boxes, handOff};
    context.Progress = &line;
    context.Stop = &stop;
    bool ended = false;
    {
        // Only around the job: the phrase prompt keeps the terminal's own handling.
        TInterruptAsStop interrupts;
        ended = encrypt ? RunEncryptJob(options, context) : RunDecryptJob(options, context);
    }
    line.Clear();
    if (!ended)
        return Fail("stopped at the overwrite prompt; nothing written", kFailed);
    if (context.Stopped && context.FailureReason == kStoppedFailure) {
        std::fprintf(stderr, "%s\n", kStoppedFailure);
        return kFailed;
    }
    if (!ask.ErrorText().empty()) {
        std::fprintf(stderr, "%s: %s\n", ask.ErrorText().c_str(), context.FailureReason.c_str());
        return kFailed;
    }
    if (o.DeleteSource && !context.SourceKept.empty()) {
        PrintLine("Source kept: " + context.SourceKept);
        return kFailed;
    }
    return kDone;
}

} // namespace

int main(int argc, char** argv)
{
    InstallTempFileCleanup();
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        TCliOptions o;
        try {
            o = ParseArguments(args);
        } catch (const EUsage& e) {
            std::fprintf(stderr, "lockwell-cli: %s\n%s", e.what(), kUsage);
            return kBadUsage;
        }
        if (o.Help) {
            std::fputs(kUsage, stdout);
            return kDone;
        }
        TTerminal terminal;
        TConsoleAskUser ask(o.OverwriteAnswer, o.Yes, terminal);
        return o.Command == TCommand::Wipe ? RunWipe(o, ask) : RunJob(o, ask, terminal);
    } catch (const std::exception& e) {
        return Fail(e.what(), kFailed);
    }
}
