#include "jobs/DecryptChecks.h"

#include <cerrno>
#include <vector>

#include "crypto/SecureFill.h"
#include "jobs/Plausibility.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw::job {
namespace {

constexpr size_t kJudgedHead = 64 * 1024;

// The first bytes of the file, whatever its position; scrubbed by the holder.
struct THead {
    std::vector<uint8_t> bytes;
    explicit THead(TFileStream& file) : bytes(kJudgedHead)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                fs::ReadAt(file.Handle(), bytes.data() + done, bytes.size() - done, static_cast<int64_t>(done));
            if (n < 0)
                throw EReadError(fs::ErrorWhile(errno, "reading", file.FileName()));
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        bytes.resize(done);
    }
    ~THead() { SecureFill(bytes.data(), bytes.size(), 0); }
    THead(const THead&) = delete;
    THead& operator=(const THead&) = delete;
};

// The hint is a sentence of its own.
std::string WithHint(std::string text, const std::string& hint)
{
    if (hint.empty())
        return text;
    if (!text.ends_with('.'))
        text += '.';
    return text + " " + hint;
}

std::string BZip2Reason(const EBZip2Error& failure, const std::string& path)
{
    // No signature at all: noise, which only a wrong key phrase or cipher makes of a ".fez".
    if (failure.Code() == kBZNotCompressed)
        return "Wrong key phrase or cipher: the file does not decrypt to compressed data.";
    return "Cannot decrypt " + path + ": " + BZip2ErrorText(failure);
}

} // namespace

std::string DoubtAboutOutput(TFileStream& output, TFileStream& source, const TJobOptions& options)
{
    {
        const THead head(output);
        if (JudgeContent(head.bytes) == TPlausibility::Plausible)
            return {};
    }
    const THead encrypted(source);
    return WithHint(
        "The decrypted file does not look like any known kind of file. The key phrase or the cipher "
        "may be wrong.",
        FitHint(CipherThatFits(encrypted.bytes, options.KeyPhrase.View(), options.CipherIndex, false)));
}

std::optional<TPhraseSpelling> FittingSpelling(TFileStream& source, const TJobOptions& options, bool compressed)
{
    const THead encrypted(source);
    return SpellingThatFits(encrypted.bytes, options.KeyPhrase.View(), options.CipherIndex, compressed);
}

std::string SpellingNote(const TPhraseSpelling& spelling)
{
    return "The key phrase matched as typed " + spelling.Where + ".";
}

bool WipeDespiteDoubt(const std::string& doubt, const std::string& sourcePath, IAskUser& ask)
{
    const std::string text = doubt + " Wipe \"" + path::ExtractFileName(sourcePath) + "\" anyway?";
    return ask.AskUserWithDefault(TMsgDlgType::mtWarning, text, mbYes | mbNo, mbNo) == mbYes;
}

bool KeepDoubtfulOutput(const std::string& doubt, const std::string& outputPath, IAskUser& ask)
{
    const std::string text = doubt + " Keep \"" + path::ExtractFileName(outputPath) + "\"?";
    return ask.AskUserWithDefault(TMsgDlgType::mtWarning, text, mbYes | mbNo, mbNo) == mbYes;
}

void WarnAboutOutput(const std::string& doubt, TJobContext& context)
{
    context.Ask.AskUser(TMsgDlgType::mtWarning, doubt, mbOK);
}

EBZDecompressionError WrongKeyOrCipher(const EBZip2Error& failure, TFileStream& source, const TJobOptions& options)
{
    const THead encrypted(source);
    // The right phrase and cipher on a file that was never compressed.
    if (failure.Code() == kBZNotCompressed &&
        FitsUncompressed(encrypted.bytes, options.KeyPhrase.View(), options.CipherIndex))
        return EBZDecompressionError(
            "The file decrypts to content that is not compressed: it looks like a \".fe2\" file named \".fez\".");
    return EBZDecompressionError(
        WithHint(BZip2Reason(failure, source.FileName()),
                 FitHint(CipherThatFits(encrypted.bytes, options.KeyPhrase.View(), options.CipherIndex, true))));
}

} // namespace lw::job
