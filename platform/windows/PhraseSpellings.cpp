#include "platform/PhraseSpellings.h"

#include <array>

#include "platform/windows/Unicode.h"

namespace lw {
namespace {

struct TCodePage {
    UINT Id;
    const char* Where;
};

constexpr std::array<TCodePage, 9> kCodePages{{
    {1252, "on a Windows system (Windows-1252)"},
    {1250, "on a Windows system (Windows-1250)"},
    {1251, "on a Windows system (Windows-1251)"},
    {1253, "on a Windows system (Windows-1253)"},
    {1254, "on a Windows system (Windows-1254)"},
    {1257, "on a Windows system (Windows-1257)"},
    {437, "in a Windows console (code page 437)"},
    {850, "in a Windows console (code page 850)"},
    {866, "in a Windows console (code page 866)"},
}};

// The characters in the code page; false where one has no exact place there.
bool Convert(UINT codePage, const std::wstring& text, TSecretText& out)
{
    BOOL inexact = FALSE;
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &inexact);
    if (length <= 0 || inexact)
        return false;
    std::string& bytes = out.Buffer();
    bytes.assign(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), length, nullptr, &inexact);
    return true;
}

bool Ascii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) & 0x80)
            return false;
    return true;
}

} // namespace

std::vector<TPhraseSpelling> OtherSpellings(std::string_view typed)
{
    std::vector<TPhraseSpelling> spellings;
    if (Ascii(typed))
        return spellings;
    // The typed bytes are UTF-8, or the system's code page where the phrase fits there.
    std::wstring text = win::Wide(typed);
    TPhraseSpelling utf8{"on Linux (UTF-8)", {}};
    {
        std::string narrow = win::Narrow(text);
        utf8.Bytes.Assign(narrow);
        WipeString(narrow);
    }
    if (utf8.Bytes.View() != typed)
        spellings.push_back(std::move(utf8));
    for (const TCodePage& page : kCodePages) {
        TPhraseSpelling spelling{page.Where, {}};
        if (Convert(page.Id, text, spelling.Bytes) && spelling.Bytes.View() != typed)
            spellings.push_back(std::move(spelling));
    }
    ::SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    return spellings;
}

void KeyAsTyped(std::string& phrase)
{
    if (Ascii(phrase))
        return;
    std::wstring text = win::Wide(phrase);
    std::string keyed = win::PhraseBytes(text);
    ::SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    WipeString(phrase);
    phrase.assign(keyed);
    WipeString(keyed);
}

} // namespace lw
