// What the shared window tells the face to show, and what it reads back.
#include <string>

#include "app/win32/Win32Window.h"
#include "jobs/ProgressText.h"
#include "platform/SecretText.h"
#include "desktop/windows/FolderPicker.h"
#include "platform/windows/Unicode.h"

namespace lw::win32 {
namespace {

constexpr int kFirstCipherRow = 5;
constexpr int kCipherCount = 4;

TRgb SystemRgb(int index)
{
    const COLORREF c = GetSysColor(index);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// The active caption's colour where it reads on the face colour, else the link colour.
COLORREF Accent()
{
    const TRgb candidates[] = {SystemRgb(COLOR_ACTIVECAPTION), SystemRgb(COLOR_HOTLIGHT)};
    const TRgb c = ReadableAccent(candidates, SystemRgb(COLOR_BTNFACE), SystemRgb(COLOR_BTNTEXT));
    return RGB(c.R, c.G, c.B);
}

} // namespace

HWND TWin32Window::Control(TControl control) const
{
    return m_controls[static_cast<std::size_t>(RowOf(control))];
}

// A group box's items are usable only while both they and the box are enabled, and each
// keeps its own state for when the box comes back.
void TWin32Window::ApplyEnabled(int row)
{
    const auto rows = ControlRows();
    const int parent = rows[static_cast<std::size_t>(row)].Parent;
    const bool enabled =
        m_ownEnabled[static_cast<std::size_t>(row)] && (parent < 0 || m_ownEnabled[static_cast<std::size_t>(parent)]);
    EnableWindow(m_controls[static_cast<std::size_t>(row)], enabled);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Parent == row)
            EnableWindow(m_controls[i], enabled && m_ownEnabled[i]);
    }
}

void TWin32Window::SetCaption(TControl control, const std::string& text)
{
    win::SetWindowText(Control(control), text);
}

void TWin32Window::SetEnabled(TControl control, bool enabled)
{
    const int row = RowOf(control);
    m_ownEnabled[static_cast<std::size_t>(row)] = enabled;
    ApplyEnabled(row);
}

void TWin32Window::SetFocus(TControl control)
{
    HWND target = Control(control);
    if (control == TControl::ciphers) { // the checked item, else the first
        target = m_controls[kFirstCipherRow];
        for (int i = 0; i < kCipherCount; ++i) {
            HWND item = m_controls[static_cast<std::size_t>(kFirstCipherRow + i)];
            if (SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED)
                target = item;
        }
    }
    ::SetFocus(target);
}

// Shown only: BM_SETCHECK sends no click back to the window.
void TWin32Window::SetCipherIndex(int index)
{
    for (int i = 0; i < kCipherCount; ++i)
        SendMessageA(m_controls[static_cast<std::size_t>(kFirstCipherRow + i)], BM_SETCHECK,
                     i == index ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TWin32Window::SetFolderItems(const std::vector<std::string>& items, int selected)
{
    HWND list = Control(TControl::folders);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const auto& item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Wide(item).c_str()));
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void TWin32Window::ShowJobProgress(bool running)
{
    HWND panel = Control(TControl::Panel1);
    if (running) {
        m_panelBeforeJob = win::WindowText(panel);
        RefreshProgress();
        SetTimer(m_hwnd, kProgressTimer, kProgressMs, nullptr);
    } else {
        KillTimer(m_hwnd, kProgressTimer);
        win::SetWindowText(panel, m_panelBeforeJob);
    }
}

void TWin32Window::RefreshProgress()
{
    if (!m_window || !m_window->JobRunning())
        return;
    const TProgressState s = m_window->Progress();
    const std::string text = s.Known ? ProgressShortText(s.Phase, s.Pass, s.Done, s.Expected, s.Seconds) : "Starting";
    win::SetWindowText(Control(TControl::Panel1), text);
}

void TWin32Window::ShowError(const std::string& text)
{
    ShowApplicationError(m_hwnd, text);
}

void TWin32Window::Close()
{
    if (IsWindow(m_hwnd))
        SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
}

bool TWin32Window::Checked(TControl box) const
{
    return SendMessageA(Control(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TWin32Window::ReadPhrase(std::string& phrase) const
{
    HWND edit = Control(TControl::Edit1);
    WipeString(phrase);
    phrase = win::WindowPhrase(edit);
}

void TWin32Window::ClearPhrase()
{
    SetWindowTextW(Control(TControl::Edit1), L"");
}

std::string TWin32Window::HintUnderPointer() const
{
    POINT p{};
    if (!GetCursorPos(&p))
        return {};
    HWND under = WindowFromPoint(p);
    if (!under || (under != m_hwnd && GetAncestor(under, GA_ROOT) != m_hwnd))
        return {};
    ScreenToClient(m_hwnd, &p);
    return HintAt(static_cast<int>(p.x), static_cast<int>(p.y));
}

bool TWin32Window::PickFolder(const std::string& caption, const std::string& root, std::string& folder)
{
    return lw::PickFolder(caption, root, folder, m_hwnd);
}

HBRUSH TWin32Window::StaticColours(HWND control, HDC dc) const
{
    COLORREF text = GetSysColor(COLOR_BTNTEXT);
    const auto rows = ControlRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (control != m_controls[i])
            continue;
        if (rows[i].Ink == TInk::Accent)
            text = Accent();
    }
    if (!IsWindowEnabled(control))
        text = GetSysColor(COLOR_GRAYTEXT);
    SetTextColor(dc, text);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

} // namespace lw::win32
