#include "platform/ProcessGuard.h"

#include <windows.h>

namespace lw {
namespace {

LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info)
{
    ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void KeepSecretsOutOfDumps()
{
    // No "stopped working" box either: the process is gone before the system's own
    // handler would collect a dump for the error report.
    ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(EndAtOnce);
}

} // namespace lw
