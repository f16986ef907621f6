#pragma once
#include <string>
#include <string_view>

// Quoting for the command-line syntaxes that desktop launchers and file managers parse.
// Each function returns text that its parser turns back into exactly the given word.
namespace lw {

// True when every launcher we write for takes the path as written: only letters,
// digits and "/._+-".
bool IsLauncherSafePath(std::string_view path);

// One desktop-entry Exec argument as it stands in the file: double-quoted when it holds
// a reserved character, "%" doubled, then escaped as a key-file string.
std::string QuoteDesktopExec(std::string_view word);

// One POSIX sh word, single-quoted.
std::string QuotePosixShell(std::string_view word);

// One word for GLib's shell parser (g_shell_parse_argv), single-quoted.
std::string QuoteGLibShell(std::string_view word);

// Key-file string escapes: backslash, newline, tab, carriage return, a leading blank.
std::string EscapeKeyFileString(std::string_view value);

// "%" doubled, for launchers that expand %-codes after parsing.
std::string DoublePercent(std::string_view text);

// Character data for an XML element: &, < and > as entities.
std::string EscapeXmlText(std::string_view text);

} // namespace lw
