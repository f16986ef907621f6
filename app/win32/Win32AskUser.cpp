#include "app/win32/Win32AskUser.h"

#include <algorithm>
#include <vector>

#include "app/core/BoxRules.h"
#include "app/win32/Win32Dialog.h"
#include "platform/SecretText.h"
#include "platform/windows/Unicode.h"

namespace lw::win32 {
namespace {

constexpr WORD kIconId = 100;
constexpr WORD kTextId = 101;
constexpr WORD kFirstButtonId = 1000; // plus the button's bit: never IDOK or IDCANCEL

// Pixels.
constexpr int kMargin = 11;
constexpr int kIconSize = 32;
constexpr int kTextLeft = kMargin + kIconSize + 12;
constexpr int kTextMaxWidth = 360;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;

struct TBox {
    TMsgDlgType Kind;
    std::string Text;
    std::vector<TBoxButton> Buttons;
    TMsgDlgBtn Default;
    std::optional<TMsgDlgBtn> Escape;
};

LPCSTR IconFor(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning: return IDI_WARNING;
    case TMsgDlgType::mtError: return IDI_ERROR;
    case TMsgDlgType::mtInformation: return IDI_INFORMATION;
    case TMsgDlgType::mtConfirmation: return IDI_QUESTION;
    }
    return IDI_INFORMATION;
}

void Place(HWND dialog, int id, int x, int y, int width, int height)
{
    SetWindowPos(GetDlgItem(dialog, id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The text decides the box's size: measured in the box's font, then everything placed.
void LayOut(HWND dialog, const TBox& box)
{
    RECT text{0, 0, kTextMaxWidth, 0};
    if (HDC dc = GetDC(dialog)) {
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
        const std::wstring wide = win::Wide(box.Text);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, old);
        ReleaseDC(dialog, dc);
    }
    const int textWidth = static_cast<int>(text.right), textHeight = static_cast<int>(text.bottom);
    const int count = static_cast<int>(box.Buttons.size());
    const int row = count * kButtonWidth + (count - 1) * kButtonGap;
    const int width = std::max(kTextLeft + textWidth + kMargin, row + 2 * kMargin);
    const int buttonsTop = kMargin + std::max(kIconSize, textHeight) + 14;
    const int height = buttonsTop + kButtonHeight + kMargin;

    Place(dialog, kIconId, kMargin, kMargin, kIconSize, kIconSize);
    Place(dialog, kTextId, kTextLeft, kMargin + std::max(0, (kIconSize - textHeight) / 2), textWidth, textHeight);
    int x = (width - row) / 2;
    for (const TBoxButton& b : box.Buttons) {
        Place(dialog, kFirstButtonId + b.Button, x, buttonsTop, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kButtonGap;
    }

    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
    const int frameWidth = static_cast<int>(frame.right - frame.left);
    const int frameHeight = static_cast<int>(frame.bottom - frame.top);
    // Centred over the owner, or on the screen's work area without one.
    RECT area{};
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner || !GetWindowRect(owner, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const int left = static_cast<int>(area.left + (area.right - area.left - frameWidth) / 2);
    const int top = static_cast<int>(area.top + (area.bottom - area.top - frameHeight) / 2);
    SetWindowPos(dialog, nullptr, left, top, frameWidth, frameHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK BoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const auto& box = *reinterpret_cast<const TBox*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SendDlgItemMessageA(dialog, kIconId, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconA(nullptr, IconFor(box.Kind))), 0);
        LayOut(dialog, box);
        SendMessageA(dialog, DM_SETDEFID, kFirstButtonId + box.Default, 0);
        SetFocus(GetDlgItem(dialog, kFirstButtonId + box.Default));
        return FALSE; // the focus is set
    }
    case WM_COMMAND: {
        const auto* box = reinterpret_cast<const TBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
        const int id = LOWORD(wParam);
        if (id == IDCANCEL) { // Escape
            if (box->Escape)
                EndDialog(dialog, *box->Escape);
        } else if (id > kFirstButtonId)
            EndDialog(dialog, id - kFirstButtonId);
        return TRUE;
    }
    case WM_CLOSE: EndDialog(dialog, mbCancel); return TRUE;
    default: return FALSE;
    }
}

TMsgDlgBtn ShowBox(HWND owner, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                   TMsgDlgBtn wantedDefault)
{
    const TBox box{kind, text, BoxButtons(buttons), BoxDefault(buttons, wantedDefault), BoxEscapeAnswer(buttons)};
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    if (owner && (GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOPMOST))
        style |= DS_SYSMODAL; // stays above the window that stays on top
    TDialogTemplate t(style, BoxTitle(kind), 100, 40);
    t.Add(SS_ICON, 0, 0, 0, 0, kIconId, kStaticClass, "");
    t.Add(SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, kTextId, kStaticClass, text);
    for (const TBoxButton& b : box.Buttons) {
        const DWORD kindStyle = b.Button == box.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        t.Add(kindStyle | WS_TABSTOP, 0, 0, 0, 0, static_cast<WORD>(kFirstButtonId + b.Button), kButtonClass,
              b.Caption);
    }
    const INT_PTR answer =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, BoxProc, reinterpret_cast<LPARAM>(&box));
    // A box that could not be shown is a box nobody agreed to.
    return answer > 0 ? static_cast<TMsgDlgBtn>(answer) : mbCancel;
}

constexpr WORD kPhraseId = 200;

INT_PTR CALLBACK PhraseProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetFocus(GetDlgItem(dialog, kPhraseId));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto& phrase = *reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
            HWND field = GetDlgItem(dialog, kPhraseId);
            WipeString(phrase);
            phrase = win::WindowPhrase(field);
            SetWindowTextW(field, L"");
            EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            SetDlgItemTextW(dialog, kPhraseId, L"");
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default: return FALSE;
    }
}

} // namespace

TMsgDlgBtn TWin32AskUser::AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons)
{
    return ShowBox(m_owner, kind, text, buttons, mbOK);
}

TMsgDlgBtn TWin32AskUser::AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                             TMsgDlgBtn defaultButton)
{
    return ShowBox(m_owner, kind, text, buttons, defaultButton);
}

TMsgDlgBtn TWin32AskUser::AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                            TMsgDlgButtons buttons)
{
    return ShowBox(m_owner, kind, detail.empty() ? text : text + "\r\n\r\n" + detail, buttons, mbOK);
}

bool TWin32PhrasePrompt::AskPhraseAgain(std::string& phrase)
{
    TDialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, "Confirm", 160, 62);
    t.Add(SS_LEFT, 7, 7, 146, 8, 0xFFFF, kStaticClass, "Type the key phrase again:");
    t.Add(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 18, 146, 12, kPhraseId, kEditClass, "");
    t.Add(BS_DEFPUSHBUTTON | WS_TABSTOP, 49, 40, 50, 14, IDOK, kButtonClass, "OK");
    t.Add(BS_PUSHBUTTON | WS_TABSTOP, 103, 40, 50, 14, IDCANCEL, kButtonClass, "Cancel");
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), m_owner, PhraseProc,
                                   reinterpret_cast<LPARAM>(&phrase)) == IDOK;
}

void ShowApplicationError(HWND owner, const std::string& text) noexcept
{
    try {
        std::string shown = text;
        if (!shown.empty() && static_cast<unsigned char>(shown.back()) > static_cast<unsigned char>('.'))
            shown += '.';
        MessageBoxW(owner, win::Wide(shown).c_str(), L"Lockwell", MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(owner, L"Out of memory.", L"Lockwell", MB_OK | MB_ICONERROR);
    }
}

void ShowFatalError(const std::string& text) noexcept
{
    try {
        MessageBoxW(nullptr, win::Wide(text).c_str(), L"Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    } catch (...) {
        MessageBoxW(nullptr, L"Out of memory.", L"Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
}

} // namespace lw::win32
