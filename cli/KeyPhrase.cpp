#include "cli/KeyPhrase.h"

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <string_view>

#include "crypto/SecureFill.h"
#include "platform/PhraseSpellings.h"
#include "platform/FileSystem.h"

namespace lw::cli {
namespace {

// Standard input is left open for whoever comes after.
class TReadFd {
public:
    explicit TReadFd(const std::string& path) : m_fd(path == "-" ? 0 : fs::Open(path, O_RDONLY)), m_own(path != "-") {}
    ~TReadFd()
    {
        if (m_own && m_fd >= 0)
            fs::Close(m_fd);
    }
    TReadFd(const TReadFd&) = delete;
    TReadFd& operator=(const TReadFd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
    bool m_own;
};

size_t LineEnd(const std::string& text, size_t from)
{
    const size_t at = text.find_first_of("\r\n", from);
    return at == std::string::npos ? text.size() : at;
}

} // namespace

void ReadPhraseFile(const std::string& path, std::string& phrase)
{
    const std::string where = path == "-" ? "standard input" : "\"" + path + "\"";
    WipeString(phrase);
    // One buffer for the whole read: growing a string would leave copies of the phrase behind.
    phrase.reserve(kMaxPhraseBytes + 1);
    TReadFd fd(path);
    if (fd.Get() < 0)
        throw EPhrase("cannot read the key phrase from " + where);
    size_t filled = 0;
    size_t end = 0;
    for (;;) {
        phrase.resize(kMaxPhraseBytes + 1);
        const ssize_t n = fs::Read(fd.Get(), phrase.data() + filled, phrase.size() - filled);
        if (n < 0) {
            WipeString(phrase);
            throw EPhrase("cannot read the key phrase from " + where);
        }
        const size_t from = filled;
        filled += static_cast<size_t>(n);
        phrase.resize(filled);
        end = LineEnd(phrase, from);
        if (n == 0 || end < filled || filled > kMaxPhraseBytes)
            break;
    }
    if (end > kMaxPhraseBytes) {
        WipeString(phrase);
        throw EPhrase("the key phrase from " + where + " is longer than " + std::to_string(kMaxPhraseBytes) + " bytes");
    }
    // What follows the line end goes too.
    SecureFill(phrase.data() + end, phrase.size() - end, 0);
    phrase.resize(end);
    // An editor's UTF-8 byte-order mark is not part of what was typed.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (std::string_view(phrase).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        // Moved down in the one buffer, so no copy of the phrase is left behind.
        std::copy(phrase.begin() + kByteOrderMark.size(), phrase.end(), phrase.begin());
        const size_t length = phrase.size() - kByteOrderMark.size();
        SecureFill(phrase.data() + length, kByteOrderMark.size(), 0);
        phrase.resize(length);
    }
    KeyAsTyped(phrase);
}

void AskPhrase(TTerminal& terminal, bool twice, std::string& phrase)
{
    if (!terminal.Available())
        throw EPhrase("no terminal to ask for the key phrase; use --phrase-file");
    std::optional<std::string> first = terminal.ReadLine("Key phrase: ", false);
    if (!first)
        throw EPhrase("no key phrase given");
    TScrubOnExit scrubFirst(*first);
    if (twice) {
        std::optional<std::string> again = terminal.ReadLine("Key phrase again: ", false);
        if (!again)
            throw EPhrase("the two key phrases differ");
        TScrubOnExit scrubAgain(*again);
        if (*again != *first)
            throw EPhrase("the two key phrases differ");
    }
    WipeString(phrase);
    phrase.assign(*first);
}

} // namespace lw::cli
