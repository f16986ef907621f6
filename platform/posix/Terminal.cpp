#include "platform/Terminal.h"

#include <csignal>
#include <iterator>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/TempFileCleanup.h"
#include "platform/TerminalParts.h"

namespace lw {
namespace {

// What a signal handler needs to give the echo back; set only while it is off.
int g_quietFd = -1;
termios g_saved{};
// The handlers in place before, such as the temporary-file cleanup: they get the signal
// next and come back afterwards.
struct sigaction g_previous[std::size(kEndingSignals)];

extern "C" void RestoreAndRaise(int signal)
{
    if (g_quietFd >= 0)
        ::tcsetattr(g_quietFd, TCSAFLUSH, &g_saved);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (kEndingSignals[i] != signal)
            continue;
        if (g_previous[i].sa_handler == SIG_IGN)
            std::signal(signal, SIG_DFL);
        else
            ::sigaction(signal, &g_previous[i], nullptr);
    }
    std::raise(signal);
}

} // namespace

namespace terminal {

TEchoOff::TEchoOff(int fd)
{
    if (::tcgetattr(fd, &g_saved) != 0)
        return;
    termios quiet = g_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    g_quietFd = fd;
    struct sigaction restore {};
    restore.sa_handler = RestoreAndRaise;
    restore.sa_flags = SA_RESTART;
    sigemptyset(&restore.sa_mask);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i)
        ::sigaction(kEndingSignals[i], &restore, &g_previous[i]);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
}

TEchoOff::~TEchoOff()
{
    if (g_quietFd < 0)
        return;
    ::tcsetattr(g_quietFd, TCSAFLUSH, &g_saved);
    g_quietFd = -1;
    for (size_t i = 0; i < std::size(kEndingSignals); ++i)
        ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
}

int Open()
{
    return fs::Open("/dev/tty", O_RDWR | O_NOCTTY);
}

void Show(int fd, const std::string& text)
{
    fs::Write(fd, text.data(), text.size());
}

void DiscardTypedAhead(int fd)
{
    ::tcflush(fd, TCIFLUSH);
}

// ECHONL shows the Enter even without echo, and the line comes without anything added.
void FinishLine(int, std::string&, bool)
{}

bool ReadTypedLine(int fd, std::string& line)
{
    char c;
    for (;;) {
        const ssize_t n = fs::Read(fd, &c, 1);
        if (n <= 0)
            return false;
        if (c == '\n')
            return true;
        line += c;
    }
}

} // namespace terminal

bool StandardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void WriteUtf8ToConsole()
{}

} // namespace lw
