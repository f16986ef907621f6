#include "platform/windows/Unicode.h"

#include <climits>
#include <utility>
#include <vector>

namespace lw::win {
namespace {

std::wstring Convert(UINT codePage, DWORD flags, std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

} // namespace

std::wstring Wide(std::string_view text)
{
    std::wstring wide = Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text);
    if (wide.empty() && !text.empty())
        wide = Convert(CP_ACP, 0, text);
    return wide;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring WidePath(std::string_view path)
{
    std::wstring wide = Wide(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    if (wide.size() < MAX_PATH || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\"))
        return wide;
    // Only a full path may carry the prefix: it turns off "." and ".." and the "/" reading.
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    if (wide.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

std::optional<std::string> InCodePage(std::wstring_view text)
{
    if (text.size() > INT_MAX)
        return std::nullopt;
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    BOOL inexact = FALSE;
    const int length =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &inexact);
    if (length <= 0 || inexact)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), length, nullptr, &inexact);
    return bytes;
}

std::string PhraseBytes(std::wstring_view typed)
{
    std::optional<std::string> bytes = InCodePage(typed);
    return bytes ? std::move(*bytes) : Narrow(typed);
}

namespace {

std::vector<wchar_t> TextOf(HWND window)
{
    std::vector<wchar_t> buffer(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1);
    const int length = ::GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(static_cast<size_t>(length > 0 ? length : 0));
    return buffer;
}

} // namespace

std::string WindowText(HWND window)
{
    const std::vector<wchar_t> text = TextOf(window);
    return Narrow(std::wstring_view(text.data(), text.size()));
}

std::string WindowPhrase(HWND window)
{
    std::vector<wchar_t> typed = TextOf(window);
    std::string bytes = PhraseBytes(std::wstring_view(typed.data(), typed.size()));
    ::SecureZeroMemory(typed.data(), typed.size() * sizeof(wchar_t));
    return bytes;
}

void SetWindowText(HWND window, std::string_view text)
{
    ::SetWindowTextW(window, Wide(text).c_str());
}

} // namespace lw::win
