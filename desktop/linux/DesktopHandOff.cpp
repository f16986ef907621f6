#include "desktop/linux/DesktopHandOff.h"

#include <QCoreApplication>

#include "desktop/linux/Clipboard.h"
#include "platform/AbsolutePath.h"
#include "desktop/Opener.h"

namespace lw {
namespace {

// Upper bound for one round of "handle what is pending", so a flood of posted events
// cannot hold the job.
constexpr int kPendingEventsBudgetMs = 1000;

} // namespace

TDesktopHandOff::TDesktopHandOff(IAskUser& ask) : m_ask(ask)
{}

void TDesktopHandOff::PutFileOnClipboard(const std::string& path)
{
    // Pasting programs run elsewhere; only an absolute path means the same file to them.
    PlaceFileOnClipboard(path::AbsolutePath(path));
}

bool TDesktopHandOff::SendFileToMailClient(const std::string& path)
{
    // While a mail client starts, keep the window painted but take no input: a second
    // click on the window must not start another job inside this one.
    const bool sent = m_mail.Send(path::AbsolutePath(path), [] {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    ProcessPendingEvents();
    if (!sent)
        m_ask.AskUserWithDetail(TMsgDlgType::mtError, kMailFailedText, m_mail.Failure(), mbOK);
    return sent;
}

void TDesktopHandOff::OpenWithAssociatedApp(const std::string& path)
{
    // An absolute path also keeps a name starting with "-" from reading as an option.
    OpenDetached(path::AbsolutePath(path));
}

void TDesktopHandOff::ProcessPendingEvents()
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents, kPendingEventsBudgetMs);
}

} // namespace lw
