// A stand-in for the mail library: MAPISendDocuments appends its arguments to the file
// named by LOCKWELL_FAKE_MAPI_LOG, one line each ("null" for an absent text), and answers
// LOCKWELL_FAKE_MAPI_RESULT (0 when unset).
#include <cstdio>
#include <cstdlib>
#include <windows.h>

namespace {

const char* Shown(const char* text)
{
    return text ? text : "null";
}

} // namespace

extern "C" __declspec(dllexport) ULONG WINAPI
    MAPISendDocuments(ULONG_PTR parent, LPSTR delimiter, LPSTR paths, LPSTR names, ULONG reserved)
{
    char log[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_LOG", log, MAX_PATH) > 0) {
        if (FILE* file = std::fopen(log, "ab")) {
            std::fprintf(file, "%llu|%s|%s|%s|%lu\n", static_cast<unsigned long long>(parent), Shown(delimiter),
                         Shown(paths), Shown(names), static_cast<unsigned long>(reserved));
            std::fclose(file);
        }
    }
    char result[16] = {};
    if (GetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_RESULT", result, sizeof result) == 0)
        return 0;
    return static_cast<ULONG>(std::strtoul(result, nullptr, 10));
}
