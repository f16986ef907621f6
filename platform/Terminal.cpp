#include "platform/Terminal.h"

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace lw {
namespace {

// What a signal handler needs to give the echo back; set only while it is off.
int g_quietFd = -1;
termios g_saved{};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreAndRaise(int signal)
{
    if (g_quietFd >= 0)
        ::tcsetattr(g_quietFd, TCSAFLUSH, &g_saved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class TEchoOff {
public:
    explicit TEchoOff(int fd)
    {
        if (::tcgetattr(fd, &g_saved) != 0)
            return;
        termios quiet = g_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        g_quietFd = fd;
        for (int s : kSignals)
            std::signal(s, RestoreAndRaise);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ~TEchoOff()
    {
        if (g_quietFd < 0)
            return;
        ::tcsetattr(g_quietFd, TCSAFLUSH, &g_saved);
        g_quietFd = -1;
        for (int s : kSignals)
            std::signal(s, SIG_DFL);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;
};

} // namespace

TTerminal::TTerminal() : m_fd(fs::Open("/dev/tty", O_RDWR | O_NOCTTY)) {}

TTerminal::~TTerminal()
{
    if (m_fd >= 0)
        fs::Close(m_fd);
}

std::optional<std::string> TTerminal::ReadLine(const std::string& prompt, bool echo)
{
    if (m_fd < 0)
        return std::nullopt;
    // Echo off before the prompt shows, so nothing typed in answer is flushed away.
    std::optional<TEchoOff> quiet;
    if (!echo)
        quiet.emplace(m_fd);
    fs::Write(m_fd, prompt.data(), prompt.size());
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = fs::Read(m_fd, &c, 1);
        if (n <= 0)
            return std::nullopt;
        if (c == '\n')
            return line;
        line += c;
    }
}

} // namespace lw
