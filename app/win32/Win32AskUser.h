#pragma once
#include <windows.h>

#include "app/core/PhraseChecks.h"
#include "jobs/AskUser.h"

namespace lw::win32 {

// The one modal message box: the kind's title and icon, the captions "&Yes" "&No" "OK"
// "Cancel" "&Ignore" in that order, the default on Enter, the Escape answer, Cancel from
// the close box. A plain message box has no Yes/No/Ignore set and no choice of Escape
// answer, so the box is a small dialog of our own.
class TWin32AskUser final : public IAskUser {
public:
    // Boxes belong to the owner (the application window) once there is one.
    void SetOwner(HWND owner) { m_owner = owner; }

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override;
    TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                 TMsgDlgButtons buttons) override;

private:
    HWND m_owner = nullptr;
};

// The prompt titled "Confirm" that takes the key phrase a second time, masked, with OK
// (Enter) and Cancel (Escape, the close box).
class TWin32PhrasePrompt final : public IAskPhraseAgain {
public:
    void SetOwner(HWND owner) { m_owner = owner; }
    bool AskPhraseAgain(std::string& phrase) override;

private:
    HWND m_owner = nullptr;
};

// The application's error box for failures in window events: title "Lockwell", OK, a full
// stop added when the text's last character sorts after ".".
void ShowApplicationError(HWND owner, const std::string& text) noexcept;
// The box that ends a run a failure escaped from.
void ShowFatalError(const std::string& text) noexcept;

} // namespace lw::win32
