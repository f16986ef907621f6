#include "platform/Terminal.h"

#include <atomic>

#include "platform/FileSystem.h"
#include "platform/windows/Win32Files.h"

namespace lw {
namespace {

// What the console control handler needs to give the echo back; set only while it is off.
// Global for the handler's thread, as on Linux for the signal handler.
std::atomic<HANDLE> g_quietInput{nullptr};
std::atomic<DWORD> g_savedMode{0};

BOOL WINAPI RestoreEcho(DWORD)
{
    // The console keeps its mode after the process ends: without this the shell would
    // go on without echo.
    if (const HANDLE input = g_quietInput.exchange(nullptr))
        ::SetConsoleMode(input, g_savedMode.load());
    return FALSE; // the cleanup and the system's handler come next
}

class TEchoOff {
public:
    explicit TEchoOff(HANDLE input)
    {
        DWORD mode = 0;
        if (!::GetConsoleMode(input, &mode))
            return;
        g_savedMode.store(mode);
        g_quietInput.store(input);
        // Handlers added last are asked first.
        ::SetConsoleCtrlHandler(&RestoreEcho, TRUE);
        ::SetConsoleMode(input, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    }
    ~TEchoOff()
    {
        RestoreEcho(0);
        ::SetConsoleCtrlHandler(&RestoreEcho, FALSE);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;
};

void Show(const std::string& text)
{
    const HANDLE output = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteConsoleA(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(output);
}

// The console's input, whatever standard input is; -1 without a console.
int OpenConsoleInput()
{
    const HANDLE input = ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE)
        return -1;
    DWORD mode = 0;
    if (!::GetConsoleMode(input, &mode)) {
        ::CloseHandle(input);
        return -1;
    }
    return win::Adopt(input, true);
}

} // namespace

TTerminal::TTerminal() : m_fd(OpenConsoleInput())
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
    std::optional<TEchoOff> quiet;
    if (!echo)
        quiet.emplace(win::HandleOf(m_fd));
    Show(prompt);
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = fs::Read(m_fd, &c, 1);
        if (n <= 0)
            return std::nullopt;
        if (c == '\n')
            break;
        line += c;
    }
    // The console hands over the line with its carriage return.
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    // Without echo the Enter is not shown either.
    if (!echo)
        Show("\r\n");
    return line;
}

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace lw
