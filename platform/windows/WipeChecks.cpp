#include "platform/WipeChecks.h"

#include <cerrno>
#include <io.h>
#include <vector>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/windows/Win32Files.h"
#include "platform/windows/Unicode.h"

namespace lw::fs {
namespace {

std::string FolderOf(const std::string& path)
{
    const std::string folder = path::ExtractFilePath(path);
    return folder.empty() ? "." : folder;
}

// The flags and file-system name of the volume holding path; false when it cannot be
// asked. Through a handle, since asking the volume by its root also reads its label.
bool VolumeOf(const std::string& path, DWORD& flags, std::wstring& system)
{
    const HANDLE handle = ::CreateFileW(win::WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    WCHAR name[MAX_PATH + 1] = {};
    const bool known = ::GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags, name, MAX_PATH);
    ::CloseHandle(handle);
    system = name;
    return known;
}

} // namespace

TNodeKind KindAt(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(win::WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TNodeKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return TNodeKind::Symlink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return TNodeKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return TNodeKind::Device;
    return TNodeKind::Regular;
}

TDeleteBlock DeleteBlock(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(win::WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TDeleteBlock::None;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return TDeleteBlock::FileReadOnly;
    DWORD flags = 0;
    std::wstring system;
    if (VolumeOf(FolderOf(path), flags, system) && (flags & FILE_READ_ONLY_VOLUME))
        return TDeleteBlock::FolderReadOnly;
    // Access lists are left to the deletion itself, which reports what it meets.
    return TDeleteBlock::None;
}

int AllocateHoles(int fd)
{
    // Sparse and compressed files hold fewer clusters than bytes; overwritten with noise
    // they need them all.
    const HANDLE handle = win::HandleOf(fd);
    FILE_STANDARD_INFO info{};
    if (!::GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof info) ||
        info.AllocationSize.QuadPart >= info.EndOfFile.QuadPart)
        return 0;
    constexpr DWORD kLongest = 32768;
    std::vector<WCHAR> name(kLongest), root(kLongest);
    ULARGE_INTEGER free{};
    const DWORD length = ::GetFinalPathNameByHandleW(handle, name.data(), kLongest, VOLUME_NAME_DOS);
    if (length == 0 || length >= kLongest || !::GetVolumePathNameW(name.data(), root.data(), kLongest) ||
        !::GetDiskFreeSpaceExW(root.data(), &free, nullptr, nullptr))
        return 0;
    const auto missing = static_cast<ULONGLONG>(info.EndOfFile.QuadPart - info.AllocationSize.QuadPart);
    return free.QuadPart < missing ? ENOSPC : 0;
}

TOldCopies OldCopiesOf(const std::string& path)
{
    // ReFS writes changed blocks elsewhere; NTFS compresses a compressed file's changed
    // clusters into new places.
    const DWORD attributes = ::GetFileAttributesW(win::WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE)))
        return TOldCopies::NewPlaces;
    DWORD flags = 0;
    std::wstring system;
    return VolumeOf(FolderOf(path), flags, system) && system == L"ReFS" ? TOldCopies::NewPlaces : TOldCopies::None;
}

uint32_t HighResolutionCounter()
{
    LARGE_INTEGER counter{};
    if (::QueryPerformanceCounter(&counter) && counter.QuadPart != 0)
        return static_cast<uint32_t>(counter.QuadPart);
    return ::GetTickCount();
}

namespace {
int DuplicateOf(int fd)
{
    HANDLE copy = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, win::HandleOf(fd), process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return win::Fail();
    // The copy refers to the same open file, whose locks it keeps.
    return win::Adopt(copy, true);
}
} // namespace

TDescriptionHold::TDescriptionHold(int fd, const std::string& path) : m_fd(DuplicateOf(fd))
{
    if (m_fd < 0)
        throw EFileError("Cannot keep \"" + path + "\" open. " + ErrorText(errno));
}

TDescriptionHold::~TDescriptionHold()
{
    if (m_fd >= 0)
        ::_close(m_fd);
}

} // namespace lw::fs
