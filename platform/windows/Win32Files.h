#pragma once
// Helpers shared by the Windows file implementations; not part of the platform interface.
#include <windows.h>

#include <string>

namespace lw::win {

// The errno value that stands for a Win32 error, so messages and callers stay the same
// on both systems.
int ErrnoOf(DWORD error);
// Sets errno from GetLastError() and returns -1.
int Fail();

// The Win32 handle under a CRT descriptor, or INVALID_HANDLE_VALUE.
HANDLE HandleOf(int fd);
// Wraps a handle in a CRT descriptor; closes the handle and returns -1 (errno set) on failure.
int Adopt(HANDLE handle, bool writable);

// Everything the file system keeps about a file; false (errno set) when it cannot be read.
bool InformationOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info);

} // namespace lw::win
