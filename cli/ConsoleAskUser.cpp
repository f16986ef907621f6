#include "cli/ConsoleAskUser.h"

#include <cstdio>

namespace lw::cli {
namespace {

struct TButton {
    TMsgDlgBtn button;
    const char* caption;
};
constexpr TButton kButtons[] = {{mbYes, "Yes"}, {mbNo, "No"}, {mbOK, "OK"}, {mbCancel, "Cancel"}, {mbIgnore, "Ignore"}};

// What the box answers to Enter and to Escape.
TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons) { return buttons & mbOK ? mbOK : mbYes; }
TMsgDlgBtn EscapeButton(TMsgDlgButtons buttons)
{
    return buttons & mbCancel ? mbCancel : buttons & mbNo ? mbNo : mbOK;
}

void PrintLine(const std::string& text)
{
    std::string line;
    for (char c : text)
        if (c != '\r')
            line += c;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace

TConsoleAskUser::TConsoleAskUser(std::optional<TMsgDlgBtn> overwriteAnswer, bool confirmWipes, TTerminal& terminal)
    : m_overwriteAnswer(overwriteAnswer), m_confirmWipes(confirmWipes), m_terminal(terminal)
{
}

TMsgDlgBtn TConsoleAskUser::AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons)
{
    if (kind == TMsgDlgType::mtError) {
        m_errorText = text;
        return DefaultButton(buttons);
    }
    PrintLine(text);
    if (buttons == (mbYes | mbNo | mbIgnore)) {
        if (m_overwriteAnswer)
            return *m_overwriteAnswer;
    } else if (buttons == (mbOK | mbCancel)) {
        if (m_confirmWipes)
            return mbOK;
    } else if ((buttons & (buttons - 1)) == 0) {
        return static_cast<TMsgDlgBtn>(buttons);
    }
    return AskTerminal(buttons);
}

TMsgDlgBtn TConsoleAskUser::AskTerminal(TMsgDlgButtons buttons)
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
            return DefaultButton(buttons);
        // Each caption starts with its own letter.
        const char first = static_cast<char>((*line)[0] | 0x20);
        for (const TButton& b : kButtons)
            if ((buttons & b.button) && (b.caption[0] | 0x20) == first)
                return b.button;
    }
}

} // namespace lw::cli
