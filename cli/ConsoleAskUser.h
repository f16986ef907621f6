#pragma once
#include <optional>
#include <string>

#include "jobs/AskUser.h"
#include "platform/Terminal.h"

namespace lw::cli {

// Message boxes for a run without a window: each box is a line on stderr. The overwrite
// prompt and the wipe confirmation take the answer given on the command line, else ask
// on the terminal, else take the safe answer (No, Cancel). An error box is kept for the
// caller, who prints it with its cause.
class TConsoleAskUser final : public IAskUser {
public:
    TConsoleAskUser(std::optional<TMsgDlgBtn> overwriteAnswer, bool confirmWipes, TTerminal& terminal);

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;

    // The text of the last error box, empty when none was shown.
    const std::string& ErrorText() const { return m_errorText; }

private:
    TMsgDlgBtn AskTerminal(TMsgDlgButtons buttons);

    std::optional<TMsgDlgBtn> m_overwriteAnswer;
    bool m_confirmWipes;
    TTerminal& m_terminal;
    std::string m_errorText;
};

} // namespace lw::cli
