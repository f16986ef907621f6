#include "platform/Folders.h"

#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/windows/Unicode.h"

namespace lw {
namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::string::size_type LastSeparator(const std::string& path)
{
    return path.find_last_of("\\/");
}

std::string WithoutTrailing(std::string folder)
{
    while (folder.size() > 1 && IsSeparator(folder.back()) && !(folder.size() == 3 && folder[1] == ':'))
        folder.pop_back();
    return folder;
}

// The entries of dir without "." and ".."; false when it cannot be read.
template <typename Visit>
bool EachEntry(const std::string& dir, Visit visit)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(win::WidePath((WithoutTrailing(dir) + "\\*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool going = true;
    do {
        const std::string name = win::Narrow(found.cFileName);
        if (name != "." && name != "..")
            going = visit(name, found.dwFileAttributes);
    } while (going && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return true;
}

} // namespace

bool MakeFolders(const std::string& dir, mode_t)
{
    const std::string folder = WithoutTrailing(dir);
    if (folder.empty())
        return false;
    if (fs::DirectoryExists(folder))
        return true;
    const auto separator = LastSeparator(folder);
    if (separator != std::string::npos && separator > 0 && !MakeFolders(folder.substr(0, separator)))
        return false;
    if (::CreateDirectoryW(win::WidePath(folder).c_str(), nullptr))
        return true;
    // Another process may have made it meanwhile.
    return ::GetLastError() == ERROR_ALREADY_EXISTS && fs::DirectoryExists(folder);
}

std::vector<std::string> ListFolder(const std::string& dir)
{
    std::vector<std::string> names;
    EachEntry(dir, [&](const std::string& name, DWORD) {
        names.push_back(name);
        return true;
    });
    return names;
}

bool RemoveEmptyFolder(const std::string& dir)
{
    return ::RemoveDirectoryW(win::WidePath(dir).c_str()) != 0;
}

void RemoveEmptyFoldersUpTo(const std::string& top, const std::string& dir)
{
    std::string folder = WithoutTrailing(dir);
    while (folder.size() > top.size() + 1 && folder.compare(0, top.size(), top) == 0 &&
           IsSeparator(folder[top.size()])) {
        // RemoveDirectoryA refuses a folder with anything in it, so nothing foreign can go.
        if (!RemoveEmptyFolder(folder))
            return;
        folder.erase(LastSeparator(folder));
    }
}

bool HoldsNothingBut(const std::string& dir, const std::string& allowed)
{
    std::vector<std::string> folders;
    bool onlyAllowed = true;
    const bool read = EachEntry(dir, [&](const std::string& name, DWORD attributes) {
        // A junction or link counts as a file and is not followed.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            folders.push_back(name);
        else if (name != allowed)
            onlyAllowed = false;
        return onlyAllowed;
    });
    if (!read)
        return false;
    for (const std::string& name : folders)
        onlyAllowed = onlyAllowed && HoldsNothingBut(WithoutTrailing(dir) + "\\" + name, allowed);
    return onlyAllowed;
}

void TouchFolder(const std::string& dir)
{
    const HANDLE handle = ::CreateFileW(win::WidePath(dir).c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ::SetFileTime(handle, nullptr, nullptr, &now);
    ::CloseHandle(handle);
}

bool EntryExists(const std::string& path)
{
    return ::GetFileAttributesW(win::WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanWriteIn(const std::string& dir)
{
    // Access lists decide, and only a try asks them all: a file that goes with its handle.
    std::wstring probe = win::WidePath(WithoutTrailing(dir) + "\\.lockwell-write-test.tmp");
    const HANDLE handle = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_EXISTS;
    ::CloseHandle(handle);
    return true;
}

std::string UserSettingsHome()
{
    std::wstring folder(32768, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"APPDATA", folder.data(), static_cast<DWORD>(folder.size()));
    folder.resize(length < folder.size() ? length : 0);
    return folder.empty() ? std::string(".") : win::Narrow(folder);
}

} // namespace lw
