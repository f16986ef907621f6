// lockwell-cli: the file jobs and the wipe without a window, for scripts and machines
// without a display.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ConsoleAskUser.h"
#include "cli/ConsoleHandOff.h"
#include "cli/KeyPhrase.h"
#include "cli/ProgressLine.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/Plausibility.h"
#include "jobs/Wipe.h"
#include "platform/ProgramPath.h"
#include "platform/FileSystem.h"
#include "platform/ProcessGuard.h"
#include "platform/SecretText.h"
#include "platform/TempFileCleanup.h"
#include "platform/Terminal.h"
#include "platform/Version.h"

namespace {

using namespace lw;
using namespace lw::cli;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;
// The window's first-start choice; the tool never follows what the window saved since,
// so a script decrypts tomorrow what it encrypted today.
constexpr int32_t kDefaultCipher = 1; // Blowfish

int Fail(const std::string& message, int status)
{
    std::fprintf(stderr, "lockwell-cli: %s\n", message.c_str());
    return status;
}

bool ShowsProgress(const TCliOptions& o)
{
    return !o.Quiet && StandardErrorIsTerminal();
}

// What every file of a run shares.
struct TRun {
    const TCliOptions& Options;
    TTerminal& Terminal;
    const TSecretText& Phrase; // empty for wipes
    int32_t CipherIndex;
    std::optional<fs::TFileIdentity> PhraseFile; // the file the phrase was read from
    std::vector<fs::TFileIdentity>& Written;     // the outputs of this run so far
};

bool IsAmong(const std::string& path, const std::vector<fs::TFileIdentity>& files)
{
    fs::TFileIdentity identity;
    if (!fs::IdentityAt(path, identity, true))
        return false;
    return std::any_of(files.begin(), files.end(), [&](const fs::TFileIdentity& f) { return f.SameFile(identity); });
}

// One file's lines: as they always were with one FILE, after "FILE: " with several.
struct TFileLines {
    std::string Prefix;

    void Say(const std::string& text) const { PrintLine(Prefix + text); }
    // With one FILE, a line of the tool's own names the tool instead.
    void SayAsTool(const std::string& text) const { PrintLine((Prefix.empty() ? "lockwell-cli: " : Prefix) + text); }
};

// The result line names the cipher that was used ("File encrypted with Serpent"). The new
// name an existing output made is told with the result, once the file is really there.
class TResultNamesCipher final : public IAskUser {
public:
    TResultNamesCipher(IAskUser& inner, int32_t cipherIndex) : m_inner(inner), m_cipher(CipherName(cipherIndex)) {}

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override
    {
        if (kind == TMsgDlgType::mtConfirmation && buttons == mbOK && text.starts_with("File saved as:")) {
            m_savedAs = text;
            return mbOK;
        }
        const bool result =
            kind == TMsgDlgType::mtInformation && (text == "File encrypted" || text == "File decrypted");
        if (result && !m_savedAs.empty())
            m_inner.AskUser(TMsgDlgType::mtConfirmation, std::exchange(m_savedAs, {}), mbOK);
        return m_inner.AskUser(kind, result ? text + " with " + m_cipher : text, buttons);
    }
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override
    {
        return m_inner.AskUserWithDefault(kind, text, buttons, defaultButton);
    }
    // A result's detail starts with the output's path, which the caller named; what follows
    // (which spelling of the phrase matched) is a line of its own.
    TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                 TMsgDlgButtons buttons) override
    {
        const TMsgDlgBtn answer = AskUser(kind, text, buttons);
        const auto newline = detail.find('\n');
        if (kind == TMsgDlgType::mtInformation && newline != std::string::npos)
            m_inner.AskUser(kind, detail.substr(newline + 1), mbOK);
        return answer;
    }

private:
    IAskUser& m_inner;
    std::string m_cipher;
    std::string m_savedAs;
};

int RunWipe(const TRun& run, const std::string& file, const TFileLines& lines)
{
    TConsoleAskUser ask(run.Options.OverwriteAnswer, run.Options.Yes, run.Terminal, lines.Prefix);
    ask.SetWipeTarget(file);
    std::string why;
    TStopRequest stop;
    TProgressLine line(ShowsProgress(run.Options), stop, &TInterruptAsStop::Requested);
    TAskBelowProgress boxes(ask, line);
    const bool deleted = WipeFile(nullptr, file, boxes, &why, &line, &stop) == TWipeEnd::Deleted;
    line.Clear();
    lines.Say(deleted ? "File deleted" : "File NOT deleted");
    if (!deleted && !why.empty())
        lines.Say(why);
    return deleted ? kDone : kFailed;
}

int RunJob(const TRun& run, const std::string& file, const TFileLines& lines)
{
    const TCliOptions& o = run.Options;
    const bool encrypt = o.Command == TCommand::Encrypt;
    // One per job: it keeps the text of the job's error box.
    TConsoleAskUser ask(o.OverwriteAnswer, o.Yes, run.Terminal, lines.Prefix);
    // Its copy of the phrase wipes itself on every way out, a job that throws included.
    TJobOptions options;
    options.KeyPhrase.Assign(run.Phrase.View());
    options.SourcePath = file;
    options.CipherIndex = run.CipherIndex;
    options.DestinationFolder = o.DestinationFolder;
    options.Compress = o.Compress;
    options.DeleteSource = o.DeleteSource;
    // Two FILEs of one run with the same output name: the later one must not replace
    // what the earlier one wrote, whose source may be wiped by now.
    const std::string planned = OutputPath(options, encrypt ? TJobKind::Encrypt : TJobKind::Decrypt);
    ask.SetOutput(planned);
    ask.SetWipeTarget(file);
    if (o.OverwriteAnswer != mbYes && IsAmong(planned, run.Written)) {
        lines.SayAsTool("\"" + planned +
                        "\" was written earlier in this run: it is not replaced, and the source is kept");
        return kFailed;
    }

    TConsoleHandOff handOff;
    TStopRequest stop;
    TProgressLine line(ShowsProgress(o), stop, &TInterruptAsStop::Requested);
    TAskBelowProgress belowProgress(ask, line);
    TResultNamesCipher boxes(belowProgress, run.CipherIndex);
    TJobContext context{boxes, handOff};
    context.Progress = &line;
    context.Stop = &stop;
    context.KeepDoubtful = o.KeepDoubtful;
    const bool ended = encrypt ? RunEncryptJob(options, context) : RunDecryptJob(options, context);
    line.Clear();
    if (fs::TFileIdentity written; !context.OutputPath.empty() && fs::IdentityAt(context.OutputPath, written))
        run.Written.push_back(written);
    if (!ended) {
        lines.SayAsTool("stopped at the overwrite prompt; nothing written");
        return kFailed;
    }
    if (context.Stopped && context.FailureReason == kStoppedFailure) {
        lines.Say(kStoppedFailure);
        return kFailed;
    }
    if (!ask.ErrorText().empty()) {
        lines.Say(ask.ErrorText() + (context.FailureReason.empty() ? "" : ": " + context.FailureReason));
        return kFailed;
    }
    // A reason without an error box: a doubtful decrypted file, dropped.
    if (!context.FailureReason.empty()) {
        lines.Say(context.FailureReason);
        lines.SayAsTool("the decrypted file was not kept (--keep-doubtful keeps it)");
        return kFailed;
    }
    if (o.DeleteSource && !context.SourceKept.empty()) {
        lines.Say(context.SourceWipe == TWipeEnd::Overwritten ? context.SourceKept
                                                              : "Source kept: " + context.SourceKept);
        return kFailed;
    }
    return kDone;
}

// One file's job or wipe; a failure that escapes it ends that file, not the run.
int RunFile(const TRun& run, const std::string& file, const TFileLines& lines)
{
    // Encrypted or wiped under the phrase it holds, the phrase would be lost with it.
    if (run.PhraseFile && IsAmong(file, {*run.PhraseFile})) {
        lines.SayAsTool("the key phrase was read from this file: it is not taken as a FILE of the same run");
        return kFailed;
    }
    try {
        return run.Options.Command == TCommand::Wipe ? RunWipe(run, file, lines) : RunJob(run, file, lines);
    } catch (const std::exception& e) {
        lines.SayAsTool(e.what());
    } catch (...) {
        lines.SayAsTool("unknown failure");
    }
    return kFailed;
}

// Each file in turn; the worst status of them. Files after a Ctrl+C are not started.
int RunFiles(const TRun& run)
{
    const std::vector<std::string>& files = run.Options.Files;
    int status = kDone;
    // Only around the jobs: the phrase prompt before them keeps the terminal's own handling.
    TInterruptAsStop interrupts;
    for (size_t i = 0; i < files.size(); ++i) {
        if (TInterruptAsStop::Requested()) {
            const size_t left = files.size() - i;
            PrintLine("Stopped: " + std::to_string(left) + (left == 1 ? " file" : " files") + " not started");
            return kFailed;
        }
        const TFileLines lines{files.size() > 1 ? files[i] + ": " : std::string()};
        status = std::max(status, RunFile(run, files[i], lines));
    }
    return status;
}

int Run(const std::vector<std::string>& args, TSecretText& phrase)
{
    TCliOptions o;
    try {
        o = ParseArguments(args);
    } catch (const EUsage& e) {
        // One line and where the rest is, as command-line tools do.
        const bool command = !args.empty() && CommandNamed(args[0]);
        std::fprintf(stderr, "lockwell-cli: %s\nTry 'lockwell-cli %s--help'.\n", e.what(),
                     command ? (args[0] + " ").c_str() : "");
        return kBadUsage;
    }
    switch (o.Action) {
    case TCliAction::Usage: std::fputs(UsageText(std::nullopt).c_str(), stdout); return kDone;
    case TCliAction::CommandUsage: std::fputs(UsageText(o.Command).c_str(), stdout); return kDone;
    case TCliAction::Version: std::printf("lockwell-cli %s\n", kLockwellVersion); return kDone;
    case TCliAction::Run: break;
    }

    TTerminal terminal;
    int32_t cipherIndex = -1;
    std::optional<fs::TFileIdentity> phraseFile;
    if (o.Command != TCommand::Wipe) {
        const bool encrypt = o.Command == TCommand::Encrypt;
        try {
            if (o.PhraseFile) {
                ReadPhraseFile(*o.PhraseFile, phrase.Buffer());
                // Standard input may be a file too ("--phrase-file - <key.txt").
                fs::TFileIdentity read;
                if (*o.PhraseFile == "-" ? fs::IdentityOf(0, read) : fs::IdentityAt(*o.PhraseFile, read, true))
                    phraseFile = read;
            } else
                AskPhrase(terminal, encrypt, phrase.Buffer());
        } catch (const EPhrase& e) {
            return Fail(e.Message(), (o.PhraseFile || terminal.Available()) ? kFailed : kBadUsage);
        }
        // Decrypting with one stays possible: files made with an empty phrase must open.
        if (encrypt && phrase.Empty())
            return Fail("the key phrase is empty: anyone could decrypt the file", kFailed);
        cipherIndex = o.CipherIndex >= 0 ? o.CipherIndex : kDefaultCipher;
    }
    std::vector<fs::TFileIdentity> written;
    return RunFiles(TRun{o, terminal, phrase, cipherIndex, phraseFile, written});
}

} // namespace

int main(int argc, char** argv)
{
    HardenProcess();
    WriteUtf8ToConsole();
    InstallTempFileCleanup();
    // Outside the try: every way out of main, a throw included, scrubs the phrase.
    TSecretText phrase;
    try {
        return Run(ProgramArguments(argc, argv), phrase);
    } catch (const std::exception& e) {
        return Fail(e.what(), kFailed);
    } catch (...) {
        return Fail("unknown failure", kFailed);
    }
}
