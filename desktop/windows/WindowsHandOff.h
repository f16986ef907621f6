#pragma once
#include <string>

#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "desktop/MailClient.h"

namespace lw {

// The hand-off actions through the Windows services: the clipboard's file drop, Simple
// MAPI and the shell's open. The window keeps one for the run, so the mail library is
// looked for once; window is its HWND, or null without a window.
class TWindowsHandOff final : public IHandOff {
public:
    TWindowsHandOff(IAskUser& ask, void* window);

    void PutFileOnClipboard(const std::string& path) override;
    bool SendFileToMailClient(const std::string& path) override;
    void OpenWithAssociatedApp(const std::string& path) override;
    void ProcessPendingEvents() override;

private:
    IAskUser& m_ask;
    void* m_window;
    TMailClient m_mail;
};

} // namespace lw
