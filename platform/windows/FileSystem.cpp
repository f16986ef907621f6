#include "platform/FileSystem.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <random>

#include "platform/windows/Win32Files.h"
#include "platform/windows/Unicode.h"

namespace lw::win {

int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return EOPNOTSUPP;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    default: return EIO;
    }
}

int Fail()
{
    errno = ErrnoOf(::GetLastError());
    return -1;
}

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int Adopt(HANDLE handle, bool writable)
{
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), (writable ? _O_RDWR : _O_RDONLY) | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

bool InformationOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    if (::GetFileInformationByHandle(handle, &info))
        return true;
    Fail();
    return false;
}

} // namespace lw::win

namespace lw::fs {
namespace {

using detail::Injected;

// Every open of the program lets others delete or rename the file: the wipe deletes a
// file while its own second handle still holds the lock, and the interrupt cleanup
// deletes working files the job has open. Reading and writing are shared unless the
// file is being created, which the program does for its exclusive use.
DWORD ShareFor(int flags)
{
    if (flags & O_CREAT)
        return FILE_SHARE_DELETE;
    return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}

DWORD DispositionFor(int flags)
{
    if ((flags & O_CREAT) && (flags & O_EXCL))
        return CREATE_NEW;
    if ((flags & O_CREAT) && (flags & O_TRUNC))
        return CREATE_ALWAYS;
    if (flags & O_CREAT)
        return OPEN_ALWAYS;
    if (flags & O_TRUNC)
        return TRUNCATE_EXISTING;
    return OPEN_EXISTING;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(win::WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

timespec FromTicks(LONGLONG ticks)
{
    // 100-nanosecond ticks; the epoch does not matter, only equality does.
    timespec time{};
    time.tv_sec = static_cast<decltype(time.tv_sec)>(ticks / 10000000);
    time.tv_nsec = static_cast<long>(ticks % 10000000) * 100;
    return time;
}

// From the file's own records only: the by-handle summary also asks the volume for its
// serial number and label, which Wine cannot always read (and then says so on stderr).
bool IdentityOfHandle(HANDLE handle, TFileIdentity& identity)
{
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        win::Fail();
        return false;
    }
    identity = TFileIdentity{};
    FILE_ID_INFO id{};
    if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        identity.device = id.VolumeSerialNumber;
        // 128 bits on ReFS; NTFS and FAT use the low 64.
        uint64_t low = 0, high = 0;
        static_assert(sizeof id.FileId.Identifier == 16);
        std::memcpy(&low, id.FileId.Identifier, 8);
        std::memcpy(&high, id.FileId.Identifier + 8, 8);
        identity.inode = low ^ high;
    } else {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!win::InformationOf(handle, info))
            return false;
        identity.device = info.dwVolumeSerialNumber;
        identity.inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    identity.size = standard.EndOfFile.QuadPart;
    identity.modified = FromTicks(basic.LastWriteTime.QuadPart);
    // The change time moves with renames and attribute changes too, as on Linux.
    identity.changed = FromTicks(basic.ChangeTime.QuadPart);
    identity.links = standard.NumberOfLinks;
    return true;
}

// A fixed-length hidden name, as the named working files use.
std::string TempName(const std::string& folder)
{
    std::random_device random;
    const uint64_t tag = (uint64_t(random()) << 32) ^ random();
    char name[32];
    std::snprintf(name, sizeof name, ".lockwell-%012llx.tmp", static_cast<unsigned long long>(tag & 0xFFFFFFFFFFFFull));
    const bool separated = folder.empty() || folder.back() == '\\' || folder.back() == '/' || folder.back() == ':';
    return folder + (separated ? "" : "\\") + name;
}

bool SetDeleteOnClose(HANDLE handle, bool on)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = on ? TRUE : FALSE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Renames an open file through its handle; never replaces an existing file.
bool RenameHandle(HANDLE handle, const std::string& to)
{
    const std::wstring name = win::WidePath(to);
    const auto wide = static_cast<int>(name.size() + 1);
    if (name.empty())
        return false;
    // FILE_RENAME_INFO ends in a name of variable length.
    std::string block(sizeof(FILE_RENAME_INFO) + size_t(wide) * sizeof(WCHAR), '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(wide - 1) * sizeof(WCHAR);
    name.copy(info->FileName, name.size());
    return ::SetFileInformationByHandle(handle, FileRenameInfo, info, DWORD(block.size())) != 0;
}

// The working file was hidden while it had no name of its own; what it becomes is the
// user's file. Times left at 0 stay as they are. A failure leaves a hidden but whole file.
void ShowUnderName(HANDLE handle)
{
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return;
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    basic.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

} // namespace

int Open(const std::string& path, int flags, mode_t)
{
    if (Injected(TFileOp::Open))
        return -1;
    const int access = flags & (O_RDONLY | O_WRONLY | O_RDWR);
    const bool writable = access != O_RDONLY;
    const DWORD rights = access == O_WRONLY ? GENERIC_WRITE : GENERIC_READ | (writable ? GENERIC_WRITE : 0);
    const HANDLE handle = ::CreateFileW(win::WidePath(path).c_str(), rights, ShareFor(flags), nullptr,
                                        DispositionFor(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // Windows refuses a folder as access denied; say what it is.
        errno = error == ERROR_ACCESS_DENIED && IsFolder(path) ? EISDIR : win::ErrnoOf(error);
        return -1;
    }
    return win::Adopt(handle, writable);
}

ssize_t Read(int fd, void* buffer, size_t count)
{
    if (Injected(TFileOp::Read))
        return -1;
    DWORD done = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    if (!::ReadFile(win::HandleOf(fd), buffer, asked, &done, nullptr)) {
        const DWORD error = ::GetLastError();
        // The writer of a pipe has gone: that is the end of the input.
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
            return 0;
        errno = win::ErrnoOf(error);
        return -1;
    }
    return ssize_t(done);
}

ssize_t Write(int fd, const void* buffer, size_t count)
{
    if (Injected(TFileOp::Write))
        return -1;
    DWORD done = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    if (!::WriteFile(win::HandleOf(fd), buffer, asked, &done, nullptr))
        return win::Fail();
    return ssize_t(done);
}

int Sync(int fd)
{
    if (Injected(TFileOp::Sync))
        return -1;
    return ::FlushFileBuffers(win::HandleOf(fd)) ? 0 : win::Fail();
}

void StartWriteBack(int)
{
    // No call starts the write-back without waiting for it; the cache manager writes
    // behind on its own.
}

int Close(int fd)
{
    const int result = ::_close(fd);
    if (Injected(TFileOp::Close))
        return -1;
    return result;
}

int Rename(const std::string& from, const std::string& to)
{
    if (Injected(TFileOp::Rename))
        return -1;
    // Replacing and write-through: the new name is on the disk when the call returns.
    if (::MoveFileExW(win::WidePath(from).c_str(), win::WidePath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return win::Fail();
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (Injected(TFileOp::Rename))
        return -1;
    if (::MoveFileExW(win::WidePath(from).c_str(), win::WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return 0;
    return win::Fail();
}

int Unlink(const std::string& path)
{
    if (Injected(TFileOp::Unlink))
        return -1;
    return ::DeleteFileW(win::WidePath(path).c_str()) ? 0 : win::Fail();
}

// Windows has no files without a name. The nearest: a hidden name marked for deletion
// from the start, so the system removes it when the handle closes, however the process
// ends (TerminateProcess included); LinkOpenFile clears the mark and renames it.
int OpenUnnamed(const std::string& folder, mode_t)
{
    if (Injected(TFileOp::Open))
        return -1;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string name = TempName(folder);
        const HANDLE handle =
            ::CreateFileW(win::WidePath(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return win::Fail();
        }
        if (!SetDeleteOnClose(handle, true)) {
            const int error = win::ErrnoOf(::GetLastError());
            ::CloseHandle(handle);
            ::DeleteFileW(win::WidePath(name).c_str());
            errno = error == EOPNOTSUPP ? error : EOPNOTSUPP;
            return -1;
        }
        return win::Adopt(handle, true);
    }
    errno = EEXIST;
    return -1;
}

bool CanLinkOpenFile(int fd)
{
    return win::HandleOf(fd) != INVALID_HANDLE_VALUE;
}

int LinkOpenFile(int fd, const std::string& to)
{
    if (Injected(TFileOp::Link))
        return -1;
    const HANDLE handle = win::HandleOf(fd);
    if (::GetFileAttributesW(win::WidePath(to).c_str()) != INVALID_FILE_ATTRIBUTES) {
        errno = EEXIST;
        return -1;
    }
    // A file marked for deletion cannot take a new name; the mark comes back on failure.
    if (!SetDeleteOnClose(handle, false))
        return win::Fail();
    if (RenameHandle(handle, to)) {
        ShowUnderName(handle);
        return 0;
    }
    const DWORD error = ::GetLastError();
    SetDeleteOnClose(handle, true);
    errno = error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(win::WidePath(to).c_str()) != INVALID_FILE_ATTRIBUTES
                ? EEXIST
                : win::ErrnoOf(error);
    return -1;
}

bool FileExists(const std::string& path)
{
    // Wildcards would make FindFirstFileA match other names; no file name holds them.
    if (path.empty() || path.find_first_of("*?") != std::string::npos)
        return false;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(win::WidePath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    return IsFolder(path);
}

size_t MaxNameLength(const std::string&)
{
    // Every Windows file system with long names (NTFS, exFAT, FAT32, ReFS) takes 255.
    return 255;
}

mode_t FileMode(int fd)
{
    // Windows keeps no permission bits; the read-only attribute is the one that matters.
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(win::HandleOf(fd), FileBasicInfo, &basic, sizeof basic))
        return 0600;
    return (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
}

bool TFileIdentity::SameState(const TFileIdentity& other) const
{
    return SameFile(other) && size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
           changed.tv_nsec == other.changed.tv_nsec;
}

bool IdentityOf(int fd, TFileIdentity& identity)
{
    return IdentityOfHandle(win::HandleOf(fd), identity);
}

bool IdentityAt(const std::string& path, TFileIdentity& identity, bool followLinks)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle =
        ::CreateFileW(win::WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        win::Fail();
        return false;
    }
    const bool known = IdentityOfHandle(handle, identity);
    ::CloseHandle(handle);
    return known;
}

int LockFile(int fd, bool exclusive)
{
    if (Injected(TFileOp::Lock))
        return errno;
    const HANDLE handle = win::HandleOf(fd);
    OVERLAPPED whole{};
    // Windows cannot turn a lock of its own into another kind: the old one goes first.
    // Its locks are binding: a shared one stops every writer, an exclusive one every
    // other reader too.
    ::UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
    whole = OVERLAPPED{};
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (::LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole))
        return 0;
    const DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EAGAIN : win::ErrnoOf(error);
}

void SyncFolder(const std::string&)
{
    // The commit renames with MOVEFILE_WRITE_THROUGH, which puts the name on the disk;
    // Windows offers no flush of a folder.
}

ssize_t ReadAt(int fd, void* buffer, size_t count, int64_t offset)
{
    if (Injected(TFileOp::Read))
        return -1;
    const HANDLE handle = win::HandleOf(fd);
    // A positioned read moves the file pointer of a synchronous handle: it is put back.
    LARGE_INTEGER zero{}, position{};
    if (!::SetFilePointerEx(handle, zero, &position, FILE_CURRENT))
        return win::Fail();
    OVERLAPPED at{};
    at.Offset = DWORD(uint64_t(offset) & 0xFFFFFFFF);
    at.OffsetHigh = DWORD(uint64_t(offset) >> 32);
    DWORD done = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    const BOOL read = ::ReadFile(handle, buffer, asked, &done, &at);
    const DWORD error = ::GetLastError();
    ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    if (!read) {
        if (error == ERROR_HANDLE_EOF)
            return 0;
        errno = win::ErrnoOf(error);
        return -1;
    }
    return ssize_t(done);
}

void DropCachedPages(int)
{
    // Windows drops a file's cached pages only for handles opened without buffering;
    // the read-back then may come from the cache.
}

std::string ErrorText(int error)
{
    // The texts Linux gives, so a message reads the same on both systems; the runtime's
    // own texts differ ("Resource device" for a file in use).
    switch (error) {
    case ENOENT: return "No such file or directory";
    case EACCES: return "Permission denied";
    case EBUSY: return "The file is in use by another program";
    case EEXIST: return "File exists";
    case ENOSPC: return "No space left on device";
    case EROFS: return "Read-only file system";
    case ENAMETOOLONG: return "File name too long";
    case EINVAL: return "Invalid argument";
    case EISDIR: return "Is a directory";
    case ENOTDIR: return "Not a directory";
    case ENOTEMPTY: return "Directory not empty";
    case EXDEV: return "Invalid cross-device link";
    case ENOMEM: return "Cannot allocate memory";
    case EBADF: return "Bad file descriptor";
    case EOPNOTSUPP: return "Operation not supported";
    case EMFILE: return "Too many open files";
    case EIO: return "Input/output error";
    case EAGAIN: return "Resource temporarily unavailable";
    case EFBIG: return "File too large";
    case EINTR: return "Interrupted system call";
    default: return std::strerror(error);
    }
}

std::string ErrorWhile(int error, const char* doing, const std::string& path)
{
    return ErrorText(error) + " while " + doing + " " + path;
}

} // namespace lw::fs
