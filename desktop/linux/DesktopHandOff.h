#pragma once
#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "desktop/MailClient.h"

namespace lw {

// The hand-off actions on a Linux desktop: the clipboard, xdg-email and xdg-open.
// The window keeps one for the run, so the mail program is looked for once.
class TDesktopHandOff final : public IHandOff {
public:
    explicit TDesktopHandOff(IAskUser& ask);

    void PutFileOnClipboard(const std::string& path) override;
    bool SendFileToMailClient(const std::string& path) override;
    void OpenWithAssociatedApp(const std::string& path) override;
    void ProcessPendingEvents() override;

private:
    IAskUser& m_ask;
    TMailClient m_mail;
};

} // namespace lw
