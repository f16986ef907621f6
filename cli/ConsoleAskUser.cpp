#include "cli/ConsoleAskUser.h"

#include <cstdio>
#include <algorithm>
#include <span>
#include <string_view>
#include <utility>

#include "platform/Path.h"

namespace lw::cli {
namespace {

// Besides its word and the word's first letter, each button takes a short answer: y/yes
// for the one that goes ahead, n/no for the one that keeps things as they are.
struct TButton {
    TMsgDlgBtn button;
    const char* caption;
    char letter;
    const char* word;
};
constexpr TButton kButtons[] = {{mbYes, "Yes", 'y', "yes"},
                                {mbNo, "No", 'n', "no"},
                                {mbOK, "OK", 'y', "yes"},
                                {mbCancel, "Cancel", 'n', "no"},
                                {mbIgnore, "Ignore", 'i', "ignore"}};
// The overwrite prompt in the tool's own words; Enter keeps both files.
constexpr TButton kOverwriteButtons[] = {
    {mbIgnore, "Overwrite", 'o', "overwrite"}, {mbYes, "New name", 'n', "new"}, {mbNo, "Stop", 's', "stop"}};
constexpr TMsgDlgButtons kOverwriteQuestion = mbYes | mbNo | mbIgnore;

// What a box without a chosen default answers to Enter, and what any box answers to Escape.
TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons)
{
    return buttons & mbOK ? mbOK : mbYes;
}
TMsgDlgBtn EscapeButton(TMsgDlgButtons buttons)
{
    return buttons & mbCancel ? mbCancel : buttons & mbNo ? mbNo : mbOK;
}

// The wipe's confirmation: --yes answers it, and it is asked even though Cancel is its default.
bool IsWipeQuestion(TMsgDlgButtons buttons)
{
    return buttons == (mbOK | mbCancel);
}

bool Takes(const TButton& b, const std::string& typed)
{
    const std::string answer = path::LowerAscii(typed);
    return answer == path::LowerAscii(b.caption) || answer == b.word || answer == std::string(1, b.letter) ||
           answer == std::string(1, static_cast<char>(b.caption[0] | 0x20));
}

std::span<const TButton> ButtonsFor(TMsgDlgButtons buttons)
{
    if (buttons == kOverwriteQuestion)
        return kOverwriteButtons;
    return kButtons;
}

// "OK/Cancel [y/N]? ": the words, then the short answers with the default's in capitals.
std::string Prompt(TMsgDlgButtons buttons, TMsgDlgBtn defaultButton)
{
    std::string words, letters;
    for (const TButton& b : ButtonsFor(buttons))
        if (buttons & b.button) {
            words += (words.empty() ? "" : "/") + std::string(b.caption);
            letters += letters.empty() ? "" : "/";
            letters += b.button == defaultButton ? static_cast<char>(b.letter & ~0x20) : b.letter;
        }
    return words + " [" + letters + "]? ";
}

// Shown before the prompt again after an answer it does not take.
std::string Hint(TMsgDlgButtons buttons, TMsgDlgBtn defaultButton)
{
    std::string letters, enter;
    for (const TButton& b : ButtonsFor(buttons))
        if (buttons & b.button) {
            letters += (letters.empty() ? "" : ", ") + std::string(1, b.letter);
            if (b.button == defaultButton)
                enter = b.letter;
        }
    if (const size_t last = letters.rfind(", "); last != std::string::npos)
        letters.replace(last, 2, " or ");
    return "Please answer " + letters + "; Enter answers " + enter + ".\n";
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
    if ((defaultButton == mbNo || defaultButton == mbCancel) && !IsWipeQuestion(buttons)) {
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
    if (buttons == kOverwriteQuestion) {
        // Answered by --overwrite or --new-name: not put, as the wipe's question after --yes.
        if (m_overwriteAnswer)
            return *m_overwriteAnswer;
        // The window's wording and its buttons are the window's; the tool names its options.
        PrintLine(m_linePrefix + "\"" + m_output + "\" exists: overwrite it, save under a new name, or stop? " +
                  "(--overwrite or --new-name answers without asking)");
        return AskTerminal(buttons, defaultButton);
    }
    if (IsWipeQuestion(buttons))
        return AskWipe(text, buttons, defaultButton);
    PrintLine(m_linePrefix + text);
    if ((buttons & (buttons - 1)) == 0) {
        return static_cast<TMsgDlgBtn>(buttons);
    }
    return AskTerminal(buttons, defaultButton);
}

// What the file system may keep of the file comes first; the question, in the tool's words
// and naming the path, only when --yes has not answered it.
TMsgDlgBtn TConsoleAskUser::AskWipe(const std::string& text, TMsgDlgButtons buttons, TMsgDlgBtn defaultButton)
{
    constexpr std::string_view kQuestionEnd = "Continue?";
    const size_t end = text.find(kQuestionEnd);
    std::string question = text, warning;
    if (end != std::string::npos) {
        question = text.substr(0, end + kQuestionEnd.size());
        warning = text.substr(std::min(text.size(), end + kQuestionEnd.size() + 2)); // after its line end
    }
    if (!warning.empty())
        PrintLine(m_linePrefix + warning);
    if (m_confirmWipes)
        return mbOK;
    PrintLine(m_linePrefix +
              (m_wipeTarget.empty() ? question : "Wipe \"" + m_wipeTarget + "\" and make it unrecoverable?"));
    return AskTerminal(buttons, defaultButton);
}

TMsgDlgBtn TConsoleAskUser::AskTerminal(TMsgDlgButtons buttons, TMsgDlgBtn defaultButton)
{
    const std::string prompt = Prompt(buttons, defaultButton);
    const std::string hint = Hint(buttons, defaultButton);
    bool again = false;
    for (;;) {
        const std::optional<std::string> line = m_terminal.ReadLine(again ? hint + prompt : prompt, true);
        if (!line)
            return EscapeButton(buttons); // no terminal, or its input ended
        if (line->empty())
            return defaultButton;
        for (const TButton& b : ButtonsFor(buttons))
            if ((buttons & b.button) && Takes(b, *line))
                return b.button;
        again = true;
    }
}

} // namespace lw::cli
