#pragma once
#include <optional>
#include <string>
#include <utility>

#include "jobs/AskUser.h"
#include "platform/Terminal.h"

namespace lw::cli {

// One box or message as a line on stderr, without the carriage returns of its line ends.
void PrintLine(const std::string& text);

// Message boxes for a run without a window: each box is a line on stderr. The overwrite
// prompt (in the tool's words: overwrite, new name, stop) and the wipe confirmation take
// the answer given on the command line, else ask on the terminal, else take the safe
// answer (stop, Cancel). On the terminal a button is
// answered by its word, its first letter, or y/yes (Yes, OK) and n/no (No, Cancel); Enter
// takes the default, which the prompt shows in capitals ("OK/Cancel [y/N]? "), and what
// was typed before the prompt is dropped. An error box is kept for the caller, who prints
// it with its cause. Any other question whose default is No (or Cancel) is shown and
// answered so: no option and no typed answer says Yes to it. Each box's text follows
// linePrefix, which names the file when a run has several.
class TConsoleAskUser final : public IAskUser {
public:
    TConsoleAskUser(std::optional<TMsgDlgBtn> overwriteAnswer, bool confirmWipes, TTerminal& terminal,
                    std::string linePrefix = {});

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override;

    // The output the overwrite prompt is about, the file the wipe's question is about.
    void SetOutput(std::string path) { m_output = std::move(path); }
    void SetWipeTarget(std::string path) { m_wipeTarget = std::move(path); }

    // The text of the last error box, empty when none was shown.
    const std::string& ErrorText() const { return m_errorText; }

private:
    TMsgDlgBtn Ask(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons, TMsgDlgBtn defaultButton);
    TMsgDlgBtn AskWipe(const std::string& text, TMsgDlgButtons buttons, TMsgDlgBtn defaultButton);
    TMsgDlgBtn AskTerminal(TMsgDlgButtons buttons, TMsgDlgBtn defaultButton);

    std::optional<TMsgDlgBtn> m_overwriteAnswer;
    bool m_confirmWipes;
    TTerminal& m_terminal;
    std::string m_linePrefix;
    std::string m_errorText;
    std::string m_output;
    std::string m_wipeTarget;
};

} // namespace lw::cli
