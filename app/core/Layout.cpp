#include "app/core/Layout.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/Exception.h"

namespace lw {
namespace {

using K = TControlKind;
using C = TControl;

// The cipher items share the space below the group's caption in one column.
constexpr int kCipherTop = 16;
constexpr int kCipherRow = (137 - kCipherTop - 4) / 4;
constexpr int CipherItemTop(int i)
{
    return kCipherTop + i * kCipherRow + (kCipherRow - 17) / 2;
}

constexpr int kCiphers = 4;    // row of the cipher group
constexpr int kGroupBox1 = 10; // row of the options group

constexpr std::array kRows = {
    TControlRow{"Label1", K::Label, std::nullopt, -1, 8, 8, 103, 13, "Enter your &key phrase", "", false},
    TControlRow{"Edit1", K::Edit, C::Edit1, -1, 8, 27, 233, 21, "", "Use a phrase of up to 32 characters", true},
    TControlRow{"Button1", K::Button, C::Button1, -1, 248, 25, 65, 25, "GO", "", true},
    TControlRow{"Label3", K::Label, C::Label3, -1, 9, 61, 232, 13, "", "Folder for destination file", false,
                TInk::Accent},
    TControlRow{"ciphers", K::GroupBox, C::ciphers, -1, 198, 124, 115, 137, "Cipher to use", "", false},
    TControlRow{"RC4", K::Radio, std::nullopt, kCiphers, 8, CipherItemTop(0), 99, 17, "RC&4", "", true},
    TControlRow{"Blowfish", K::Radio, std::nullopt, kCiphers, 8, CipherItemTop(1), 99, 17, "&Blowfish", "", false},
    TControlRow{"Serpent", K::Radio, std::nullopt, kCiphers, 8, CipherItemTop(2), 99, 17, "Serpen&t", "", false},
    TControlRow{"Rijndael", K::Radio, std::nullopt, kCiphers, 8, CipherItemTop(3), 99, 17, "Ri&jndael ", "", false},
    TControlRow{"Button2", K::Button, C::Button2, -1, 200, 274, 113, 25, "Delete selected file",
                "Securely delete selected file", true},
    TControlRow{"GroupBox1", K::GroupBox, C::GroupBox1, -1, 8, 125, 177, 186, "Options", "File options", false},
    TControlRow{"shredbox", K::CheckBox, C::shredbox, kGroupBox1, 11, 124, 150, 17, "Delete source file", "", true},
    TControlRow{"runbox", K::CheckBox, C::runbox, kGroupBox1, 11, 98, 113, 16, "&Run decrypted file", "", true},
    TControlRow{"emailbox", K::CheckBox, C::emailbox, kGroupBox1, 11, 46, 129, 17, "Send to E&Mail client", "", true},
    TControlRow{"compbox", K::CheckBox, C::compbox, kGroupBox1, 11, 20, 97, 17, "&Compress file", "", true},
    TControlRow{"delmailbox", K::CheckBox, C::delmailbox, kGroupBox1, 32, 72, 137, 17, "Delete file after emailing", "",
                true},
    TControlRow{"copybox", K::CheckBox, C::copybox, kGroupBox1, 11, 151, 133, 17, "Co&py file to clipboard", "", true},
    TControlRow{"folders", K::ComboBox, C::folders, -1, 8, 88, 233, 21, "", "Saved destination folders", true},
    TControlRow{"Button4", K::Button, C::Button4, -1, 248, 86, 65, 25, "Desti&nation", "Select new destination folder",
                true},
    TControlRow{"Button3", K::Button, C::Button3, -1, 248, 56, 65, 25, "&Original", "Set destination to source folder",
                true},
    TControlRow{"Label4", K::Label, std::nullopt, -1, 8, 320, 96, 13, "Selected source file:", "", false},
    TControlRow{"label2", K::Label, C::label2, -1, 8, 341, 300, 13, "", "Selected source file", false, TInk::Accent},
    TControlRow{"Panel1", K::Panel, C::Panel1, -1, 0, 365, 325, 18, "", "", false, TInk::Accent},
};

static_assert(kRows[kCiphers].Control == C::ciphers && kRows[kGroupBox1].Control == C::GroupBox1);

// Relative luminance, sRGB.
double Luminance(TRgb c)
{
    const auto linear = [](uint8_t v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.R) + 0.7152 * linear(c.G) + 0.0722 * linear(c.B);
}

double Contrast(TRgb a, TRgb b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool Contains(const TRect& r, int x, int y)
{
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

} // namespace

TRgb ReadableAccent(std::span<const TRgb> candidates, TRgb background, TRgb text)
{
    for (const TRgb& c : candidates) {
        if (Contrast(c, background) >= 3.0)
            return c;
    }
    return text;
}

std::span<const TControlRow> ControlRows()
{
    return kRows;
}

int RowOf(TControl control)
{
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        if (kRows[i].Control == control)
            return static_cast<int>(i);
    }
    throw Exception("Unknown control");
}

TRect ClientRect(int row)
{
    const TControlRow& r = kRows.at(static_cast<std::size_t>(row));
    TRect rect{r.Left, r.Top, r.Left + r.Width, r.Top + r.Height};
    if (r.Parent >= 0) {
        const TRect parent = ClientRect(r.Parent);
        rect = {rect.Left + parent.Left, rect.Top + parent.Top, rect.Right + parent.Left, rect.Bottom + parent.Top};
    }
    return rect;
}

std::string HintAt(int x, int y)
{
    // An item inside a group box lies over the box: items win.
    int found = -1;
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        if (!Contains(ClientRect(static_cast<int>(i)), x, y))
            continue;
        if (found < 0 || kRows[i].Parent >= 0)
            found = static_cast<int>(i);
    }
    for (int row = found; row >= 0; row = kRows[static_cast<std::size_t>(row)].Parent) {
        if (*kRows[static_cast<std::size_t>(row)].Hint)
            return kRows[static_cast<std::size_t>(row)].Hint;
    }
    return {};
}

} // namespace lw
