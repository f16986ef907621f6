#include "platform/FileStream.h"

#include <cerrno>
#include <fcntl.h>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/windows/Win32Files.h"
#include "platform/windows/Unicode.h"

namespace lw {
namespace {

[[noreturn]] void RaiseOpen(const char* what, const std::string& path, int error)
{
    throw EFOpenError(std::string(what) + " \"" + path + "\". " + fs::ErrorText(error));
}

// A job or wipe works on files on a disk only: consoles, pipes and devices are refused.
void RequireDiskFile(int fd, const std::string& path, const char* what)
{
    if (::GetFileType(win::HandleOf(fd)) == FILE_TYPE_DISK)
        return;
    fs::Close(fd);
    RaiseOpen(what, path, EINVAL);
}

} // namespace

TFileStream::TFileStream(std::string path, int fd) : m_path(std::move(path)), m_fd(fd), m_writable(true)
{}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : m_path(path)
{
    const char* what = mode == TFileMode::fmCreate ? "Cannot create file" : "Cannot open file";
    int flags = O_RDWR;
    if (mode == TFileMode::fmOpenReadShared)
        flags = O_RDONLY;
    else if (mode == TFileMode::fmCreate)
        flags = O_RDWR | O_CREAT | O_TRUNC;
    m_fd = fs::Open(path, flags);
    if (m_fd < 0)
        RaiseOpen(what, path, errno);
    RequireDiskFile(m_fd, path, what);
    // A link is a reparse point that the open has followed: the name itself is asked.
    if (mode == TFileMode::fmOpenReadWriteNoFollow) {
        const DWORD attributes = ::GetFileAttributesW(win::WidePath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            fs::Close(m_fd);
            RaiseOpen(what, path, ELOOP);
        }
    }
    m_writable = mode != TFileMode::fmOpenReadShared;
}

std::unique_ptr<TFileStream> TFileStream::CreateNew(const std::string& path, mode_t permissions,
                                                    const std::string& name)
{
    const std::string& known = name.empty() ? path : name;
    const int fd = fs::Open(path, O_RDWR | O_CREAT | O_EXCL, permissions);
    if (fd < 0)
        RaiseOpen("Cannot create file", known, errno);
    return std::unique_ptr<TFileStream>(new TFileStream(known, fd));
}

std::unique_ptr<TFileStream> TFileStream::CreateUnnamed(const std::string& folder, const std::string& name,
                                                        mode_t permissions)
{
    const int fd = fs::OpenUnnamed(folder, permissions);
    if (fd < 0) {
        // A missing folder is reported by the caller's named attempt.
        const int error = errno;
        if (error == EOPNOTSUPP || error == EINVAL || error == ENOENT || error == ENOTDIR)
            return nullptr;
        RaiseOpen("Cannot create file", name, error);
    }
    return std::unique_ptr<TFileStream>(new TFileStream(name, fd));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                         : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                            : FILE_END;
    LARGE_INTEGER distance{}, result{};
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(win::HandleOf(m_fd), distance, &result, method)) {
        win::Fail();
        throw EFileError("Seek error on \"" + m_path + "\". " + fs::ErrorText(errno));
    }
    return result.QuadPart;
}

int64_t TFileStream::Size()
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(win::HandleOf(m_fd), &size))
        return TStream::Size();
    return size.QuadPart;
}

bool TFileStream::Writable() const
{
    return m_fd >= 0 && m_writable;
}

} // namespace lw
