// Presses Ctrl+C on a command: starts the command on this console in a folder, waits
// until a new entry shows there (the job's working file, `when` "new") or until the
// console shows "Key phrase:" (`when` "prompt"), then sends the console one Ctrl+C event. Writes to the result file
// "exit N" with the command's status, or "ended first" when the command ended before anything showed (the console's
// output on a terminal is full of cursor moves, so it goes to a file).
// With `when` "type=<file>" it types the file's UTF-8 line and Enter at the prompt instead,
// as a user's keys in any script, and lets the command end.
//
//   console_ctrl_c <new|prompt|type=FILE> <folder> <result file> <command line>
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// This program shares the console with the command and must outlive the presses.
BOOL WINAPI KeepRunning(DWORD)
{
    return TRUE;
}

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(found.cFileName);
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

// Whether the console's screen holds the text.
bool Shown(const std::string& text)
{
    const HANDLE screen = ::GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(screen, &info))
        return false;
    std::string all(static_cast<size_t>(info.dwSize.X) * static_cast<size_t>(info.dwSize.Y), ' ');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterA(screen, all.data(), static_cast<DWORD>(all.size()), COORD{0, 0}, &read);
    return all.find(text) != std::string::npos;
}

// The line in the UTF-8 file as key presses, each character one press, then Enter.
bool TypeLine(const std::string& file)
{
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        return false;
    char bytes[256] = {};
    const size_t length = std::fread(bytes, 1, sizeof bytes - 1, in);
    std::fclose(in);
    wchar_t text[256] = {};
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), text, 255);
    std::wstring keys(text, static_cast<size_t>(count > 0 ? count : 0));
    while (!keys.empty() && (keys.back() == L'\n' || keys.back() == L'\r'))
        keys.pop_back();
    keys += L'\r';
    for (const wchar_t c : keys) {
        INPUT_RECORD press[2] = {};
        for (int i = 0; i < 2; ++i) {
            press[i].EventType = KEY_EVENT;
            press[i].Event.KeyEvent.bKeyDown = i == 0;
            press[i].Event.KeyEvent.wRepeatCount = 1;
            press[i].Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
            press[i].Event.KeyEvent.uChar.UnicodeChar = c;
        }
        DWORD written = 0;
        if (!::WriteConsoleInputW(::GetStdHandle(STD_INPUT_HANDLE), press, 2, &written))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: console_ctrl_c <new|prompt> <folder> <result file> <command line>\n");
        return 2;
    }
    const std::string when = argv[1];
    const std::string folder = argv[2];
    std::FILE* result = std::fopen(argv[3], "w");
    std::string command = argv[4];
    if (!result) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 2;
    }
    ::SetConsoleCtrlHandler(&KeepRunning, TRUE);

    const std::set<std::string> before = Entries(folder);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &process)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", command.c_str(), ::GetLastError());
        return 2;
    }
    bool ready = false;
    while (!ready && ::WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT)
        ready = when == "new" ? Entries(folder) != before : Shown("Key phrase:");
    if (!ready) {
        std::fprintf(result, "ended first\n");
        std::fclose(result);
        return 0;
    }
    if (when.rfind("type=", 0) == 0) {
        if (!TypeLine(when.substr(5))) {
            std::fprintf(stderr, "could not type %s (error %lu)\n", when.c_str() + 5, ::GetLastError());
            ::TerminateProcess(process.hProcess, 99);
            return 4;
        }
    } else if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        std::fprintf(stderr, "no console to send Ctrl+C to (error %lu)\n", ::GetLastError());
        ::TerminateProcess(process.hProcess, 99);
        return 4;
    }
    if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 99);
        std::fprintf(result, "did not end\n");
        std::fclose(result);
        return 0;
    }
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    std::fprintf(result, "exit %lu\n", status);
    std::fclose(result);
    return 0;
}
