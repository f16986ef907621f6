#include "desktop/windows/WindowsHandOff.h"

#include <windows.h>

#include "desktop/Opener.h"
#include "desktop/windows/Clipboard.h"

namespace lw {

TWindowsHandOff::TWindowsHandOff(IAskUser& ask, void* window) : m_ask(ask), m_window(window)
{
    m_mail.SetOwnerWindow(window);
}

void TWindowsHandOff::PutFileOnClipboard(const std::string& path)
{
    PutFileDropOnClipboard(path, m_window);
}

bool TWindowsHandOff::SendFileToMailClient(const std::string& path)
{
    const bool sent = m_mail.Send(path, [this] { ProcessPendingEvents(); });
    if (!sent)
        m_ask.AskUserWithDetail(TMsgDlgType::mtError, kMailFailedText, m_mail.Failure(), mbOK);
    return sent;
}

void TWindowsHandOff::OpenWithAssociatedApp(const std::string& path)
{
    OpenDetached(path);
}

void TWindowsHandOff::ProcessPendingEvents()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the window's own loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace lw
