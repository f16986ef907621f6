#pragma once
#include <QPointer>
#include <QWidget>
#include <functional>

#include "jobs/AskUser.h"

class QDialog;

namespace lw {

// The window's message box: the kind's title and icon, the buttons in the order Yes, No,
// OK, Cancel, Ignore; Enter, Escape and the close box answer as BoxRules.h says. A risky question may make another
// button the default, which then has the focus. A detail (the reason behind a failure) shows below the text, selectable
// so it can be copied.
class TMessageDialog final : public IAskUser {
public:
    explicit TMessageDialog(QWidget* owner = nullptr) : m_owner(owner) {}
    void SetOwner(QWidget* owner) { m_owner = owner; }

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override;
    TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                 TMsgDlgButtons buttons) override;

    // Test seam: runs on the shown box, inside its modal loop, in place of the user.
    using TDriver = std::function<void(QDialog& box)>;
    void SetDriverForTesting(TDriver driver) { m_driver = std::move(driver); }

private:
    TMsgDlgBtn Show(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons, TMsgDlgBtn wantedDefault,
                    const std::string& detail = {});

    QPointer<QWidget> m_owner;
    TDriver m_driver;
};

} // namespace lw
