// The window's creation, its window procedure and its event loop.
#include "app/win32/Win32Window.h"

#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/Exception.h"
#include "platform/windows/Unicode.h"

namespace lw::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"LockwellForm1";
constexpr int kFirstControlId = 100; // plus the row: clear of IDOK and IDCANCEL
constexpr std::size_t kFirstCipherRow = 5;
constexpr int kCipherCount = 4;
constexpr int kListHeight = 160; // the drop-down part of the folder list
constexpr WORD kIconResource = 1;

struct TClassAndStyle {
    const wchar_t* Class;
    DWORD Style;
    DWORD ExStyle;
};

TClassAndStyle ClassFor(const TControlRow& row, bool firstOfGroup)
{
    const DWORD group = firstOfGroup ? WS_GROUP : 0;
    switch (row.Kind) {
    case TControlKind::Label: {
        // Paths may hold "&"; the label of the key field marks its access key.
        const DWORD prefix = row.Control ? SS_NOPREFIX : 0;
        const DWORD notify = row.Control == TControl::Label3 ? SS_NOTIFY : 0;
        return {L"STATIC", SS_LEFTNOWORDWRAP | prefix | notify | group, 0};
    }
    case TControlKind::Edit: return {L"EDIT", ES_AUTOHSCROLL | group, WS_EX_CLIENTEDGE};
    case TControlKind::Button: return {L"BUTTON", BS_PUSHBUTTON | group, 0};
    case TControlKind::GroupBox: return {L"BUTTON", BS_GROUPBOX | group, 0};
    case TControlKind::Radio: return {L"BUTTON", BS_AUTORADIOBUTTON | group, 0};
    case TControlKind::CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX | group, 0};
    case TControlKind::ComboBox: return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | group, 0};
    case TControlKind::Panel: return {L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | SS_NOPREFIX | group, 0};
    }
    return {L"STATIC", 0, 0};
}

void RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW; // replaced per window at creation
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (!GetClassInfoW(instance, kWindowClass, &wc) && !RegisterClassW(&wc))
        throw Exception("Unable to create the window");
}

} // namespace

TWin32Window::TWin32Window(std::string sourcePath, std::string settingsPath, std::string folderListPath,
                           TWin32AskUser& ask)
    : m_ask(ask)
{
    static_assert(kRows == 23);
    if (ControlRows().size() != kRows)
        throw Exception("Unknown control");
    try {
        Create(std::move(sourcePath), std::move(settingsPath), std::move(folderListPath));
    } catch (...) {
        // No destructor runs for a half-made window: nothing may reach this object any more.
        m_window.reset();
        m_ask.SetOwner(nullptr);
        if (m_hwnd) {
            SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
            DestroyWindow(m_hwnd);
        }
        if (m_font)
            DeleteObject(m_font);
        throw;
    }
}

void TWin32Window::Create(std::string sourcePath, std::string settingsPath, std::string folderListPath)
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWindowClass(instance);
    // Not WS_CLIPCHILDREN: the group boxes leave their insides for the window to paint.
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    constexpr DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = static_cast<int>(frame.right - frame.left), height = static_cast<int>(frame.bottom - frame.top);
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    m_hwnd = CreateWindowExW(exStyle, kWindowClass, L"Lockwell", style,
                             static_cast<int>(area.left + (area.right - area.left - width) / 2),
                             static_cast<int>(area.top + (area.bottom - area.top - height) / 2), width, height, nullptr,
                             nullptr, instance, nullptr);
    if (!m_hwnd)
        throw Exception("Unable to create the window");
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWin32Window::WindowProc));

    HDC screen = GetDC(nullptr);
    const int pointHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    m_font = CreateFontA(pointHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    CreateControls();
    // Dropped files are taken and let go: the window offers no action for them.
    DragAcceptFiles(m_hwnd, TRUE);

    m_thread.SetWindow(m_hwnd);
    m_ask.SetOwner(m_hwnd);
    m_phrasePrompt.SetOwner(m_hwnd);
    m_handOff = std::make_unique<TWindowsHandOff>(m_ask, m_hwnd);
    auto measure = [this](const std::string& text) { return TextWidth(text); };
    m_window = std::make_unique<TMainWindow>(
        TMainWindowServices{*this, m_thread, m_ask, *m_handOff, m_phrasePrompt, *this, measure}, std::move(sourcePath),
        std::move(settingsPath), std::move(folderListPath));
    m_window->FormCreate();
}

TWin32Window::~TWin32Window()
{
    // A job still running is stopped and waited for before anything it may call goes.
    m_window.reset();
    m_ask.SetOwner(nullptr);
    if (IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    if (m_font)
        DeleteObject(m_font);
}

void TWin32Window::CreateControls()
{
    const auto rows = ControlRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TControlRow& row = rows[i];
        // Each control starts a group of its own but the cipher items after the first:
        // the arrow keys move among those.
        const bool firstOfGroup = row.Kind != TControlKind::Radio || i == kFirstCipherRow;
        const TClassAndStyle cs = ClassFor(row, firstOfGroup);
        const TRect r = ClientRect(static_cast<int>(i));
        const int height = row.Kind == TControlKind::ComboBox ? row.Height + kListHeight : row.Height;
        m_controls[i] = CreateWindowExW(cs.ExStyle, cs.Class, win::Wide(row.Caption).c_str(),
                                        cs.Style | WS_CHILD | WS_VISIBLE | (row.TabStop ? WS_TABSTOP : 0), r.Left,
                                        r.Top, r.Right - r.Left, height, m_hwnd,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                                        GetModuleHandleA(nullptr), nullptr);
        if (!m_controls[i])
            throw Exception("Unable to create the window");
        SendMessageA(m_controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        m_ownEnabled[i] = true;
        // The plain labels take the width of their text, whatever the font it is drawn in.
        if (row.Kind == TControlKind::Label && !row.Control) {
            std::string shown = row.Caption;
            std::erase(shown, '&');
            SetWindowPos(m_controls[i], nullptr, 0, 0, TextWidth(shown), row.Height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    HWND list = Control(TControl::folders);
    SendMessageA(list, CB_SETITEMHEIGHT, 0, 13);
    SendMessageA(list, CB_SETDROPPEDWIDTH, kFoldersOpenWidth, 0);
    SendMessageA(m_controls[kFirstCipherRow], BM_SETCHECK, BST_CHECKED, 0);
    SetEnabled(TControl::Button3, false);
    SetEnabled(TControl::delmailbox, false);
    ::SetFocus(Control(TControl::Edit1));
}

int TWin32Window::TextWidth(const std::string& text) const
{
    SIZE size{};
    if (HDC dc = GetDC(m_hwnd)) {
        const HGDIOBJ old = SelectObject(dc, m_font);
        const std::wstring wide = win::Wide(text);
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(m_hwnd, dc);
    }
    return static_cast<int>(size.cx);
}

void TWin32Window::SetUpForMode(bool decrypt)
{
    Guarded([&] { m_window->SetUpForMode(decrypt); });
}

void TWin32Window::Run()
{
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    UpdateWindow(m_hwnd);
    SetForegroundWindow(m_hwnd);
    ::SetFocus(Control(TControl::Edit1));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Keys as the shared window knows them: virtual key codes.
        if (msg.message == WM_KEYDOWN && msg.hwnd == Control(TControl::folders) && msg.wParam == VK_DELETE)
            Guarded([this] { m_window->foldersKeyDown(TMainWindow::kVkDelete); });
        if (!IsWindow(m_hwnd) || !IsDialogMessageW(m_hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MSG next;
        if (m_window && IsWindow(m_hwnd) && !PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE))
            Guarded([this] { m_window->ApplicationIdle(); });
    }
}

template <class Handler>
void TWin32Window::Guarded(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowApplicationError(m_hwnd, e.what());
    } catch (...) {
        ShowApplicationError(m_hwnd, "Unknown failure");
    }
}

LRESULT CALLBACK TWin32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TWin32Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT TWin32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (!m_window)
            return 0;
        if (id == IDOK) { // Enter outside a button
            if (GetFocus() == Control(TControl::Edit1))
                Guarded([this] { m_window->Edit1Return(); });
        } else if (id == IDCANCEL) { // Escape
            Close();
        } else if (id >= kFirstControlId && id < kFirstControlId + static_cast<int>(kRows)) {
            Command(id - kFirstControlId, HIWORD(wParam));
        }
        return 0;
    }
    case TWin32WindowThread::kRunMessage: Guarded([&] { m_thread.RunMessage(lParam); }); return 0;
    case WM_TIMER:
        if (wParam == kProgressTimer)
            RefreshProgress();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(StaticColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case WM_DROPFILES: DragFinish(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_CLOSE: {
        bool close = true;
        if (m_window)
            Guarded([&] { close = m_window->FormCloseQuery(); });
        if (close)
            DestroyWindow(m_hwnd);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(m_hwnd, kProgressTimer);
        m_thread.DropPending();
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcW(m_hwnd, message, wParam, lParam);
    }
}

void TWin32Window::Command(int row, int code)
{
    TMainWindow& w = *m_window;
    const auto& r = ControlRows()[static_cast<std::size_t>(row)];
    if (r.Kind == TControlKind::Radio) {
        const int index = row - static_cast<int>(kFirstCipherRow);
        // Only a change of selection counts; the arrow keys check the item they reach.
        if (code == BN_CLICKED && index >= 0 && index < kCipherCount && index != w.CipherIndex() &&
            SendMessageA(m_controls[static_cast<std::size_t>(row)], BM_GETCHECK, 0, 0) == BST_CHECKED)
            Guarded([&] { w.ciphersClick(index); });
        return;
    }
    if (!r.Control)
        return;
    switch (*r.Control) {
    case TControl::Button1:
        if (code == BN_CLICKED)
            Guarded([&] { w.Button1Click(); });
        break;
    case TControl::Button2:
        if (code == BN_CLICKED)
            Guarded([&] { w.Button2Click(); });
        break;
    case TControl::Button3:
        if (code == BN_CLICKED)
            Guarded([&] { w.Button3Click(); });
        break;
    case TControl::Button4:
        if (code == BN_CLICKED)
            Guarded([&] { w.Button4Click(); });
        break;
    case TControl::emailbox:
        if (code == BN_CLICKED)
            Guarded([&] { w.emailboxClick(); });
        break;
    case TControl::delmailbox:
        if (code == BN_CLICKED)
            Guarded([&] { w.delmailboxClick(); });
        break;
    case TControl::folders:
        if (code == CBN_SELCHANGE) {
            const auto index = static_cast<int>(SendMessageA(Control(TControl::folders), CB_GETCURSEL, 0, 0));
            if (index >= 0)
                Guarded([&] { w.foldersSelect(index); });
        }
        break;
    case TControl::Label3:
        if (code == STN_DBLCLK)
            Guarded([&] { w.Label3DblClick(); });
        break;
    default: break;
    }
}

} // namespace lw::win32
