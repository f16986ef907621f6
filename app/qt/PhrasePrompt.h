#pragma once
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "app/core/PhraseChecks.h"

class QDialog;
class QLineEdit;

namespace lw {

// The modal prompt titled "Confirm" that takes the key phrase a second time in a
// masked field, with OK (Enter) and Cancel (Escape, the close box).
class TPhrasePrompt final : public IAskPhraseAgain {
public:
    explicit TPhrasePrompt(QWidget* owner = nullptr) : m_owner(owner) {}

    bool AskPhraseAgain(std::string& phrase) override;

    // Test seam: runs on the shown prompt, inside its modal loop, in place of the user.
    using TDriver = std::function<void(QDialog& prompt)>;
    void SetDriverForTesting(TDriver driver) { m_driver = std::move(driver); }

private:
    QPointer<QWidget> m_owner;
    TDriver m_driver;
};

// The field's text as UTF-8, without leaving a copy of our own behind.
void ReadPhrase(const QLineEdit& edit, std::string& phrase);

} // namespace lw
