#include "platform/FileStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exception.h"
#include "platform/FileSystem.h"

namespace lw {
namespace {

[[noreturn]] void RaiseOpen(const char* what, const std::string& path, int error)
{
    throw EFOpenError(std::string(what) + " \"" + path + "\". " + fs::ErrorText(error));
}

// Refuses folders, FIFOs and devices: a job or wipe works on regular files only, and
// opening with O_NONBLOCK keeps a FIFO from hanging the program.
int OpenRegular(const std::string& path, int flags, mode_t mode, const char* what)
{
    const int fd = fs::Open(path, flags | O_NONBLOCK | O_NOCTTY, mode);
    if (fd < 0)
        RaiseOpen(what, path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fs::Close(fd);
        if (S_ISDIR(st.st_mode))
            RaiseOpen(what, path, EISDIR);
        throw EFOpenError(std::string(what) + " \"" + path + "\". Not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

TFileStream::TFileStream(std::string path, int fd) : m_path(std::move(path)), m_fd(fd)
{}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : m_path(path)
{
    switch (mode) {
    case TFileMode::fmOpenReadWriteShared: m_fd = OpenRegular(path, O_RDWR, 0, "Cannot open file"); break;
    case TFileMode::fmOpenReadWriteNoFollow:
        m_fd = OpenRegular(path, O_RDWR | O_NOFOLLOW, 0, "Cannot open file");
        break;
    case TFileMode::fmOpenReadShared: m_fd = OpenRegular(path, O_RDONLY, 0, "Cannot open file"); break;
    case TFileMode::fmCreate:
        m_fd = OpenRegular(path, O_RDWR | O_CREAT, 0666, "Cannot create file");
        if (::ftruncate(m_fd, 0) != 0) {
            const int error = errno;
            fs::Close(m_fd);
            RaiseOpen("Cannot create file", path, error);
        }
        break;
    }
}

std::unique_ptr<TFileStream> TFileStream::CreateNew(const std::string& path, mode_t permissions,
                                                    const std::string& name)
{
    const std::string& known = name.empty() ? path : name;
    const int fd = fs::Open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, permissions);
    if (fd < 0)
        RaiseOpen("Cannot create file", known, errno);
    // The umask may have narrowed the bits; the caller asked for these exactly.
    ::fchmod(fd, permissions);
    return std::unique_ptr<TFileStream>(new TFileStream(known, fd));
}

std::unique_ptr<TFileStream> TFileStream::CreateUnnamed(const std::string& folder, const std::string& name,
                                                        mode_t permissions)
{
    const int fd = fs::OpenUnnamed(folder, permissions);
    if (fd < 0) {
        // What open(2) answers where unnamed files are not supported; a missing folder
        // answers the same and is then reported by the caller's named attempt.
        const int error = errno;
        if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT || error == ENOTDIR ||
            error == ENOSYS)
            return nullptr;
        RaiseOpen("Cannot create file", name, error);
    }
    if (!fs::CanLinkOpenFile(fd)) {
        fs::Close(fd);
        return nullptr;
    }
    return std::unique_ptr<TFileStream>(new TFileStream(name, fd));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    const off_t result = ::lseek(m_fd, offset, whence);
    if (result < 0)
        throw EFileError("Seek error on \"" + m_path + "\". " + fs::ErrorText(errno));
    return result;
}

int64_t TFileStream::Size()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return TStream::Size();
    return st.st_size;
}

bool TFileStream::Writable() const
{
    const int flags = ::fcntl(m_fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) == O_RDWR;
}

} // namespace lw
