// Presses Ctrl+C on a command: starts the command on this console in a folder, waits
// until a new entry shows there (the job's working file, `when` "new") or until the
// console shows "Key phrase:" (`when` "prompt"), then sends the console one Ctrl+C event. Writes to the result file
// "exit N" with the command's status, or "ended first" when the command ended before anything showed (the console's
// output on a terminal is full of cursor moves, so it goes to a file).
//
//   console_ctrl_c <new|prompt> <folder> <result file> <command line>
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
        ready = when == "prompt" ? Shown("Key phrase:") : Entries(folder) != before;
    if (!ready) {
        std::fprintf(result, "ended first\n");
        std::fclose(result);
        return 0;
    }
    if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
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
