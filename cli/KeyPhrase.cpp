#include "cli/KeyPhrase.h"

#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

namespace lw::cli {

std::optional<std::string> ReadPhraseFile(const std::string& path)
{
    std::string content;
    if (path == "-") {
        char c;
        ssize_t n;
        while ((n = fs::Read(0, &c, 1)) == 1 && c != '\n' && c != '\r')
            content += c;
        if (n < 0)
            return std::nullopt;
        return content;
    }
    if (!ReadWholeFile(path, content))
        return std::nullopt;
    return content.substr(0, content.find_first_of("\r\n"));
}

std::string AskPhrase(TTerminal& terminal, bool twice)
{
    if (!terminal.Available())
        throw EPhrase("no terminal to ask for the key phrase; use --phrase-file");
    std::optional<std::string> phrase = terminal.ReadLine("Key phrase: ", false);
    if (!phrase)
        throw EPhrase("no key phrase given");
    if (twice) {
        const std::optional<std::string> again = terminal.ReadLine("Key phrase again: ", false);
        if (!again || *again != *phrase)
            throw EPhrase("the two key phrases differ");
    }
    return *phrase;
}

} // namespace lw::cli
