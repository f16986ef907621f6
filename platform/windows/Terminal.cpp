#include "platform/Terminal.h"

#include <atomic>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/TerminalParts.h"
#include "platform/windows/Win32Files.h"
#include "platform/windows/Unicode.h"

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

} // namespace

namespace terminal {

TEchoOff::TEchoOff(int fd)
{
    const HANDLE input = win::HandleOf(fd);
    DWORD mode = 0;
    if (!::GetConsoleMode(input, &mode))
        return;
    g_savedMode.store(mode);
    g_quietInput.store(input);
    // Handlers added last are asked first.
    ::SetConsoleCtrlHandler(&RestoreEcho, TRUE);
    ::SetConsoleMode(input, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
}

TEchoOff::~TEchoOff()
{
    RestoreEcho(0);
    ::SetConsoleCtrlHandler(&RestoreEcho, FALSE);
}

// The console's own output, whatever standard output is.
void Show(int, const std::string& text)
{
    const HANDLE output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    const std::wstring wide = win::Wide(text);
    ::WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    ::CloseHandle(output);
}

int Open()
{
    const HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
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

void DiscardTypedAhead(int fd)
{
    ::FlushConsoleInputBuffer(win::HandleOf(fd));
}

bool ReadTypedLine(int fd, std::string& line)
{
    std::wstring typed;
    typed.reserve(256); // room enough that a phrase leaves no copies behind as it grows
    bool ended = false;
    for (;;) {
        wchar_t c = 0;
        DWORD n = 0;
        if (!::ReadConsoleW(win::HandleOf(fd), &c, 1, &n, nullptr) || n == 0) {
            ended = true;
            break;
        }
        if (c == L'\n')
            break;
        typed += c;
    }
    // Ctrl+Z and Enter: the console's end of input.
    ended = ended || typed == L"\x1a" || typed == L"\x1a\r";
    if (!ended)
        line = win::PhraseBytes(typed);
    ::SecureZeroMemory(typed.data(), typed.capacity() * sizeof(wchar_t));
    return !ended;
}

void FinishLine(int, std::string& line, bool echo)
{
    // The console hands over the line with its carriage return.
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    // Without echo the Enter is not shown either.
    if (!echo)
        Show(-1, "\r\n");
}

} // namespace terminal

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {
UINT g_consoleCodePage = 0; // the console's own, put back at the exit

void RestoreConsoleCodePage()
{
    ::SetConsoleOutputCP(g_consoleCodePage);
}
} // namespace

void WriteUtf8ToConsole()
{
    g_consoleCodePage = ::GetConsoleOutputCP();
    if (g_consoleCodePage == 0 || g_consoleCodePage == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8))
        return;
    std::atexit(&RestoreConsoleCodePage);
}

} // namespace lw
