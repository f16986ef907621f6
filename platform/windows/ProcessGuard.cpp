#include "platform/ProcessGuard.h"

#include <vector>
#include <windows.h>

#include <aclapi.h>

namespace lw {
namespace {

LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info)
{
    ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

// The user's own other processes get what a task list needs and nothing that reads or
// changes memory: no ReadProcessMemory, no MiniDumpWriteDump, no injected thread.
void NarrowProcessAccess()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    const bool known = size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    if (!known)
        return;
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid);
    std::vector<BYTE> acl(aclSize);
    const auto list = reinterpret_cast<PACL>(acl.data());
    if (!::InitializeAcl(list, aclSize, ACL_REVISION) ||
        !::AddAccessAllowedAce(list, ACL_REVISION, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                               sid))
        return;
    // Protected: nothing inherited widens it again.
    ::SetSecurityInfo(::GetCurrentProcess(), SE_KERNEL_OBJECT,
                      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr);
}

} // namespace

void HardenProcess()
{
    // No "stopped working" box either: the process is gone before the system's own
    // handler would collect a dump for the error report.
    ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(EndAtOnce);
    // A MAPI32.DLL beside the program (an unpacked download) or in the current folder
    // must never run inside it.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
    NarrowProcessAccess();
}

} // namespace lw
