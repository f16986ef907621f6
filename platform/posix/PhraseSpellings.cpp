#include "platform/PhraseSpellings.h"

#include <iconv.h>

#include <array>
#include <vector>

namespace lw {
namespace {

struct TCodePage {
    const char* Name;
    const char* Where;
};

constexpr std::array<TCodePage, 9> kCodePages{{
    {"CP1252", "on a Windows system (Windows-1252)"},
    {"CP1250", "on a Windows system (Windows-1250)"},
    {"CP1251", "on a Windows system (Windows-1251)"},
    {"CP1253", "on a Windows system (Windows-1253)"},
    {"CP1254", "on a Windows system (Windows-1254)"},
    {"CP1257", "on a Windows system (Windows-1257)"},
    {"CP437", "in a Windows console (code page 437)"},
    {"CP850", "in a Windows console (code page 850)"},
    {"CP866", "in a Windows console (code page 866)"},
}};

// The UTF-8 text in the code page; false where a character has no place there.
bool Convert(const char* codePage, std::string_view text, TSecretText& out)
{
    const iconv_t converter = ::iconv_open(codePage, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string& bytes = out.Buffer();
    bytes.assign(text.size() * 4 + 4, '\0');
    std::vector<char> in(text.begin(), text.end());
    char* from = in.data();
    size_t left = in.size();
    char* to = bytes.data();
    size_t room = bytes.size();
    const bool whole = ::iconv(converter, &from, &left, &to, &room) != static_cast<size_t>(-1) && left == 0;
    ::iconv_close(converter);
    SecureFill(in.data(), in.size(), 0);
    bytes.resize(whole ? bytes.size() - room : 0);
    return whole;
}

bool ValidUtf8(std::string_view text)
{
    TSecretText copy;
    return Convert("UTF-8", text, copy);
}

} // namespace

std::vector<TPhraseSpelling> OtherSpellings(std::string_view typed)
{
    std::vector<TPhraseSpelling> spellings;
    bool ascii = true;
    for (const char c : typed)
        ascii = ascii && (static_cast<unsigned char>(c) & 0x80) == 0;
    if (ascii || !ValidUtf8(typed))
        return spellings;
    for (const TCodePage& page : kCodePages) {
        TPhraseSpelling spelling{page.Where, {}};
        if (Convert(page.Name, typed, spelling.Bytes) && spelling.Bytes.View() != typed)
            spellings.push_back(std::move(spelling));
    }
    return spellings;
}

void KeyAsTyped(std::string&)
{
    // Typed here, a phrase is UTF-8 already.
}

} // namespace lw
