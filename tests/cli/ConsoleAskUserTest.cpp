// The tool's message boxes on a real pseudo-terminal with an answer typed ahead: a
// question whose default is No is shown and answered No without reading the terminal,
// whatever was typed or given on the command line.
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "cli/ConsoleAskUser.h"

using namespace lwtest;

namespace {

struct Asked {
    int answer = -1;
    std::string terminal; // what the terminal showed, typed-ahead echo included
    std::string err;
};

// Whatever the pseudo-terminal has shown by now, added to seen.
void Drain(int master, std::string& seen)
{
    char buffer[4096];
    pollfd ready{master, POLLIN, 0};
    while (::poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN)) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen.append(buffer, static_cast<size_t>(n));
    }
}

// In a child whose controlling terminal is a new pseudo-terminal: one box. `ahead` is
// typed before the child starts, each line of `typed` once a prompt ("? ") has shown.
Asked AskOnTerminal(const std::function<lw::TMsgDlgBtn(lw::IAskUser&)>& box,
                    std::optional<lw::TMsgDlgBtn> overwriteAnswer, bool yes, const std::string& typed,
                    const std::string& ahead = "")
{
    TempDir io;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return {};
    }
    const std::string slavePath = ::ptsname(master);
    // Held here too, so what the child showed stays readable after it ends.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_EQ(::write(master, ahead.data(), ahead.size()), static_cast<ssize_t>(ahead.size()));
    ForkedChild child([&](int, int) {
        ::setsid();
        ::alarm(60);                                       // a box that waits for more input than was typed ends here
        const int tty = ::open(slavePath.c_str(), O_RDWR); // becomes the controlling terminal
        const int err = ::open((io / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (tty < 0 || err < 0)
            return 100;
        ::dup2(err, 2);
        lw::TTerminal terminal;
        if (!terminal.Available())
            return 101;
        lw::cli::TConsoleAskUser ask(overwriteAnswer, yes, terminal);
        ask.SetOutput("a.fe2");
        return static_cast<int>(box(ask));
    });
    Asked asked;
    // One line of `typed` a prompt: what was typed before a prompt showed is dropped.
    size_t prompts = 0, next = 0;
    while (!child.Ended()) {
        pollfd shown{master, POLLIN, 0};
        ::poll(&shown, 1, 20);
        const size_t from = asked.terminal.size();
        Drain(master, asked.terminal);
        for (size_t at = asked.terminal.find("? ", from ? from - 1 : 0); at != std::string::npos;
             at = asked.terminal.find("? ", at + 2))
            ++prompts;
        for (; prompts > 0 && next < typed.size(); --prompts) {
            const size_t end = typed.find('\n', next) + 1;
            const std::string line = typed.substr(next, end - next);
            EXPECT_EQ(::write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
            next = end;
        }
    }
    const int status = child.Wait();
    asked.answer = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Drain(master, asked.terminal);
    ::close(slave);
    ::close(master);
    const Bytes err = ReadFile(io / "err");
    asked.err.assign(err.begin(), err.end());
    return asked;
}

} // namespace

TEST(ConsoleAskUser, AnswersOnAPseudoTerminal)
{
    using lw::TMsgDlgType;
    const lw::TMsgDlgButtons yesNo = lw::mbYes | lw::mbNo;
    const lw::TMsgDlgButtons overwrite = lw::mbYes | lw::mbNo | lw::mbIgnore;
    const lw::TMsgDlgButtons okCancel = lw::mbOK | lw::mbCancel;
    const lw::TMsgDlgBtn cancel = lw::mbCancel;
    const char* const wipePrompt = "OK/Cancel [y/N]? ";
    const struct {
        const char* name;
        lw::TMsgDlgButtons buttons;
        std::optional<lw::TMsgDlgBtn> defaultButton; // nothing: plain AskUser
        std::optional<lw::TMsgDlgBtn> overwriteAnswer;
        bool yes;
        const char* typed; // typed ahead when no prompt is expected, else a line per prompt
        lw::TMsgDlgBtn answer;
        const char* prompt; // nullptr: the terminal is not asked
        const char* ahead = "";
    } rows[] = {
        // Risky questions whose safe answer is the default are answered so without asking.
        {"default No, y typed, --yes", yesNo, lw::mbNo, lw::mbYes, true, "y\n", lw::mbNo, nullptr},
        {"default No, Enter typed", yesNo, lw::mbNo, std::nullopt, false, "\n", lw::mbNo, nullptr},
        {"default No, --overwrite", overwrite, lw::mbNo, lw::mbIgnore, true, "i\n", lw::mbNo, nullptr},
        // The wipe's own question: --yes answers it, else it is asked with Cancel the default.
        {"wipe question, --yes", okCancel, cancel, std::nullopt, true, "c\n", lw::mbOK, nullptr},
        {"wipe question, Enter", okCancel, cancel, std::nullopt, false, "\n", cancel, wipePrompt},
        {"wipe question, y", okCancel, cancel, std::nullopt, false, "y\n", lw::mbOK, wipePrompt},
        {"wipe question, YES", okCancel, cancel, std::nullopt, false, "YES\n", lw::mbOK, wipePrompt},
        {"wipe question, ok", okCancel, cancel, std::nullopt, false, "ok\n", lw::mbOK, wipePrompt},
        {"wipe question, no", okCancel, cancel, std::nullopt, false, "no\n", cancel, wipePrompt},
        {"wipe question, x then y", okCancel, cancel, std::nullopt, false, "x\ny\n", lw::mbOK,
         "Please answer y or n; Enter answers n.\r\nOK/Cancel [y/N]? "},
        {"wipe question, y typed before it", okCancel, cancel, std::nullopt, false, "\n", cancel, wipePrompt, "y\n"},
        // Other defaults are asked, and Enter takes the given one.
        {"default Yes, Enter typed", yesNo, lw::mbYes, std::nullopt, true, "\n", lw::mbYes, "Yes/No [Y/n]? "},
        {"default Yes, n typed", yesNo, lw::mbYes, std::nullopt, true, "n\n", lw::mbNo, "Yes/No [Y/n]? "},
        // The overwrite prompt in the tool's words: Enter keeps both files, o overwrites.
        {"overwrite prompt, Enter typed", overwrite, std::nullopt, std::nullopt, false, "\n", lw::mbYes,
         "Overwrite/New name/Stop [o/N/s]? "},
        {"overwrite prompt, o typed", overwrite, std::nullopt, std::nullopt, false, "o\n", lw::mbIgnore,
         "Overwrite/New name/Stop [o/N/s]? "},
        {"overwrite prompt, --overwrite", overwrite, std::nullopt, lw::mbIgnore, false, "n\n", lw::mbIgnore, nullptr},
    };
    for (const auto& row : rows) {
        const Asked asked = AskOnTerminal(
            [&](lw::IAskUser& ask) {
                const std::string text = "Replace the file?\r\nIt cannot be undone.";
                return row.defaultButton
                           ? ask.AskUserWithDefault(TMsgDlgType::mtWarning, text, row.buttons, *row.defaultButton)
                           : ask.AskUser(TMsgDlgType::mtWarning, text, row.buttons);
            },
            row.overwriteAnswer, row.yes, row.prompt ? row.typed : "", row.prompt ? row.ahead : row.typed);
        EXPECT_EQ(asked.answer, row.answer) << row.name;
        // The overwrite prompt in the tool's words; neither it nor the wipe's question once a flag answered it.
        const bool toolWords = row.buttons == overwrite && !row.defaultButton && !row.overwriteAnswer;
        const bool answered = (row.buttons == okCancel && row.yes) || (row.buttons == overwrite && !row.defaultButton);
        EXPECT_EQ(asked.err, toolWords  ? "\"a.fe2\" exists: overwrite it, save under a new name, or stop? "
                                          "(--overwrite or --new-name answers without asking)\n"
                             : answered ? ""
                                        : "Replace the file?\nIt cannot be undone.\n")
            << row.name;
        if (row.prompt) {
            EXPECT_NE(asked.terminal.find(row.prompt), std::string::npos) << row.name << ": " << asked.terminal;
        } else {
            EXPECT_EQ(asked.terminal.find("? "), std::string::npos) << row.name << ": " << asked.terminal;
        }
    }
}
