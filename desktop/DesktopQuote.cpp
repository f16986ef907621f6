#include "desktop/DesktopQuote.h"

namespace lw {
namespace {

// Characters the desktop-entry Exec rules reserve; a word holding one must be quoted.
constexpr std::string_view kExecReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string SingleQuote(std::string_view word)
{
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace

bool IsLauncherSafePath(std::string_view path)
{
    if (path.empty())
        return false;
    for (char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                           c == '.' || c == '_' || c == '+' || c == '-';
        if (!plain)
            return false;
    }
    return true;
}

std::string QuoteDesktopExec(std::string_view word)
{
    const bool quote = word.empty() || word.find_first_of(kExecReserved) != std::string_view::npos;
    std::string exec;
    if (quote)
        exec += '"';
    for (char c : word) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            exec += '\\';
        exec += c;
        if (c == '%')
            exec += '%';
    }
    if (quote)
        exec += '"';
    return EscapeKeyFileString(exec);
}

std::string QuotePosixShell(std::string_view word)
{
    return SingleQuote(word);
}

std::string QuoteGLibShell(std::string_view word)
{
    // GLib's parser takes sh's single quotes, including the '\'' splice.
    return SingleQuote(word);
}

std::string EscapeKeyFileString(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        switch (const char c = value[i]) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case ' ': out += i == 0 ? "\\s" : " "; break;
        default: out += c;
        }
    }
    return out;
}

std::string DoublePercent(std::string_view text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

std::string EscapeXmlText(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace lw
