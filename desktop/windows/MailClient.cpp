#include "desktop/MailClient.h"
#include "platform/windows/Unicode.h"

#include <array>
#include <windows.h>

namespace lw {
namespace {

constexpr const wchar_t* kMailLibrary = L"MAPI32.DLL";
constexpr uint32_t kNotCalled = 1;

// Simple MAPI counts as set up when the messaging key says MAPI=1 (the profile file's
// [Mail] section on systems older than 3.51).
bool SimpleMapiEnabled()
{
    const DWORD version = GetVersion();
    const DWORD major = LOBYTE(LOWORD(version));
    const DWORD minor = HIBYTE(LOWORD(version));
    if (major > 3 || (major == 3 && minor > 51)) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows Messaging Subsystem", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        std::array<char, 9> value{};
        DWORD size = value.size();
        const LONG rc = RegQueryValueExA(key, "MAPI", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS && value[0] == '1' && value[1] == '\0';
    }
    return GetProfileIntA("Mail", "MAPI", 0) != 0;
}

// The library takes names in the code page only: one it lacks goes by its short name,
// which is plain ASCII where the volume keeps short names.
std::string CodePagePath(const std::string& path)
{
    const std::wstring wide = win::WidePath(path);
    if (const auto ansi = win::InCodePage(win::Wide(path)))
        return *ansi;
    std::wstring shortName(32768, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    shortName.resize(length < shortName.size() ? length : 0);
    if (shortName.starts_with(L"\\\\?\\"))
        shortName.erase(0, 4);
    const auto ansi = win::InCodePage(shortName);
    return ansi && !ansi->empty() ? *ansi : win::Narrow(win::Wide(path));
}

// Simple MAPI's answers in words.
std::string MapiReason(uint32_t result)
{
    switch (result) {
    case 1: return "the message was cancelled";
    case 2: return "the mail program failed";
    case 3: return "the mail program could not log on";
    case 5: return "the mail program ran out of memory";
    case 11:
    case 12: return "the mail program could not open the file";
    case 26: return "the mail library cannot send files: no mail program is set up for it";
    default: return "the mail program answered with MAPI error " + std::to_string(result);
    }
}

} // namespace

TMailClient::TMailClient(std::chrono::milliseconds wait)
{
    (void)wait;
}

TMailClient::~TMailClient()
{
    if (m_library)
        FreeLibrary(static_cast<HMODULE>(m_library));
}

bool TMailClient::Send(const std::string& path, const std::function<void()>& pumpEvents)
{
    if (!m_searched) {
        m_searched = true;
        if (SimpleMapiEnabled())
            // The system's own, which hands on to the user's mail program; never one
            // lying beside the program or in the current folder.
            m_library = LoadLibraryExW(kMailLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    if (!m_sendDocuments && m_library) {
        // Through the generic function type, which GCC accepts as a go-between.
        const FARPROC entry = GetProcAddress(static_cast<HMODULE>(m_library), "MAPISendDocuments");
        m_sendDocuments = reinterpret_cast<TSendDocuments>(reinterpret_cast<void (*)()>(entry));
    }

    m_lastResult = kNotCalled;
    m_failure.clear();
    if (!m_library)
        m_failure = "Simple MAPI is not set up: no mail program takes files from other programs";
    else if (!m_sendDocuments)
        m_failure = "the system's MAPI32.DLL has no MAPISendDocuments";
    if (m_sendDocuments) {
        // The library takes writable texts; it gets copies.
        std::string delimiter = ";";
        std::string paths = CodePagePath(path);
        std::string names;
        m_lastResult =
            m_sendDocuments(reinterpret_cast<uintptr_t>(m_owner), delimiter.data(), paths.data(), names.data(), 0);
    }
    if (m_sendDocuments && m_lastResult != 0)
        m_failure = MapiReason(m_lastResult);
    if (pumpEvents)
        pumpEvents();
    return m_lastResult == 0;
}

} // namespace lw
