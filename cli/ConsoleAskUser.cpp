#include "cli/ConsoleAskUser.h"

#include <cstdio>
#include <utility>

namespace lw::cli {
namespace {

struct TButton {
    TMsgDlgBtn button;
    const char* caption;
};
constexpr TButton kButtons[] = {{mbYes, "Yes"}, {mbNo, "No"}, {mbOK, "OK"}, {mbCancel, "Cancel"}, {mbIgnore, "Ignore"}};

// What a box without a chosen default answers to Enter, and what any box answers to Escape.
TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons)
{
    return buttons & mbOK ? mbOK : mbYes;
}
TMsgDlgBtn EscapeButton(TMsgDlgButtons buttons)
{
    return buttons & mbCancel ? mbCancel : buttons & mbNo ? mbNo : mbOK;
}

} // namespace

void PrintLine(const std::string& text)
{
    std::string line;
    for (char c : text)
        if (c != '\r')
            line += c;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

TConsoleAskUser::TConsoleAskUser(std::optional<TMsgDlgBtn> overwriteAnswer, bool confirmWipes, TTerminal& terminal,
                                 std::string linePrefix)
    : m_overwriteAnswer(overwriteAnswer), m_confirmWipes(confirmWipes), m_terminal(terminal),
      m_linePrefix(std::move(linePrefix))
{}

TMsgDlgBtn TConsoleAskUser::AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons)
{
    return Ask(kind, text, buttons, DefaultButton(buttons));
}

TMsgDlgBtn TConsoleAskUser::AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                               TMsgDlgBtn defaultButton)
{
    if (!(buttons & defaultButton))
        defaultButton = DefaultButton(buttons);
    // A question whose safe answer is the default is risky: it is not put to a user who
    // may be a script typing Enter or "y", and --yes is only for the wipe's own question.
    if (defaultButton == mbNo || defaultButton == mbCancel) {
        PrintLine(m_linePrefix + text);
        return defaultButton;
    }
    return Ask(kind, text, buttons, defaultButton);
}

TMsgDlgBtn TConsoleAskUser::Ask(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                TMsgDlgBtn defaultButton)
{
    if (kind == TMsgDlgType::mtError) {
        m_errorText = text;
        return defaultButton;
    }
    PrintLine(m_linePrefix + text);
    if (buttons == (mbYes | mbNo | mbIgnore)) {
        if (m_overwriteAnswer)
            return *m_overwriteAnswer;
    } else if (buttons == (mbOK | mbCancel)) {
        if (m_confirmWipes)
            return mbOK;
    } else if ((buttons & (buttons - 1)) == 0) {
        return static_cast<TMsgDlgBtn>(buttons);
    }
    return AskTerminal(buttons, defaultButton);
}

TMsgDlgBtn TConsoleAskUser::AskTerminal(TMsgDlgButtons buttons, TMsgDlgBtn defaultButton)
{
    std::string prompt;
    for (const TButton& b : kButtons)
        if (buttons & b.button) {
            if (!prompt.empty())
                prompt += '/';
            prompt += b.caption;
        }
    prompt += "? ";
    for (;;) {
        const std::optional<std::string> line = m_terminal.ReadLine(prompt, true);
        if (!line)
            return EscapeButton(buttons); // no terminal, or its input ended
        if (line->empty())
            return defaultButton;
        // Each caption starts with its own letter.
        const char first = static_cast<char>((*line)[0] | 0x20);
        for (const TButton& b : kButtons)
            if ((buttons & b.button) && (b.caption[0] | 0x20) == first)
                return b.button;
    }
}

} // namespace lw::cli
