#pragma once
// The one place where the program's text (UTF-8) meets the system's (UTF-16). Every call
// that hands text to Windows or takes it back goes through the wide (W) function and these.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace lw::win {

// UTF-8 as UTF-16. Text that is not UTF-8 was written by the system's code page (settings
// and lists from earlier versions): it is read as such, so nothing stored then is lost.
std::wstring Wide(std::string_view text);
// UTF-16 as UTF-8; an unpaired surrogate (possible in a file name) becomes U+FFFD.
std::string Narrow(std::wstring_view text);
inline std::string Narrow(const wchar_t* text)
{
    return text ? Narrow(std::wstring_view(text)) : std::string();
}
// A path for the file calls: "/" as "\", and an absolute path past MAX_PATH prefixed with
// "\\?\" (or "\\?\UNC\"), which lifts the limit of 260 characters.
std::wstring WidePath(std::string_view path);

// The text in the system code page, or nothing when a character has no exact place there.
std::optional<std::string> InCodePage(std::wstring_view text);
// The bytes a phrase typed on Windows is keyed with: the system code page's where every
// character has an exact place in it (so files keyed that way before still open), else
// UTF-8, never a "?" or a near letter.
std::string PhraseBytes(std::wstring_view typed);
// A control's text; WindowPhrase keys it as PhraseBytes does and wipes the wide copy.
std::string WindowText(HWND window);
std::string WindowPhrase(HWND window);
void SetWindowText(HWND window, std::string_view text);

} // namespace lw::win
