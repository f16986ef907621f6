#include "platform/Terminal.h"

#include "platform/FileSystem.h"
#include "platform/TerminalParts.h"

namespace lw {

TTerminal::TTerminal() : m_fd(terminal::Open())
{}

TTerminal::~TTerminal()
{
    if (m_fd >= 0)
        fs::Close(m_fd);
}

std::optional<std::string> TTerminal::ReadLine(const std::string& prompt, bool echo)
{
    if (m_fd < 0)
        return std::nullopt;
    // Echo off (which drops what was typed ahead) or the drop itself, both before the
    // prompt shows, so nothing typed in answer is lost.
    std::optional<terminal::TEchoOff> quiet;
    if (!echo)
        quiet.emplace(m_fd);
    else
        terminal::DiscardTypedAhead(m_fd);
    terminal::Show(m_fd, prompt);
    std::string line;
    if (!terminal::ReadTypedLine(m_fd, line))
        return std::nullopt;
    terminal::FinishLine(m_fd, line, echo);
    return line;
}

} // namespace lw
