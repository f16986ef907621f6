#pragma once
#include <optional>
#include <string>

namespace lw {

// The controlling terminal of a command-line run, for the questions it asks its user.
// Reads and writes the terminal itself, so redirected standard streams don't matter.
class TTerminal {
public:
    TTerminal();
    ~TTerminal();
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;

    // False when the process has no controlling terminal.
    bool Available() const { return m_fd >= 0; }
    // Shows the prompt and reads one line without its line end; nothing at end of input.
    // What was typed before the prompt showed is dropped.
    // Without echo the typed text is not shown, and the echo comes back even when a
    // signal ends the program meanwhile.
    std::optional<std::string> ReadLine(const std::string& prompt, bool echo);

private:
    int m_fd = -1;
};

// True when standard error is a terminal: the place for a progress line.
bool StandardErrorIsTerminal();

// The program writes UTF-8: a Windows console is told so for the program's run (its code
// page comes back at the exit), where it would show another code page's letters.
void WriteUtf8ToConsole();

} // namespace lw
