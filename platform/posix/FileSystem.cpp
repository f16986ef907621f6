#include "platform/FileSystem.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lw::fs {
using detail::Injected;

int Open(const std::string& path, int flags, mode_t mode)
{
    if (Injected(TFileOp::Open))
        return -1;
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t Read(int fd, void* buffer, size_t count)
{
    if (Injected(TFileOp::Read))
        return -1;
    ssize_t n;
    do
        n = ::read(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t Write(int fd, const void* buffer, size_t count)
{
    if (Injected(TFileOp::Write))
        return -1;
    ssize_t n;
    do
        n = ::write(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
}

int Sync(int fd)
{
    if (Injected(TFileOp::Sync))
        return -1;
    return ::fsync(fd);
}

void StartWriteBack(int fd)
{
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

int Close(int fd)
{
    const int result = ::close(fd);
    if (Injected(TFileOp::Close))
        return -1;
    return result;
}

int Rename(const std::string& from, const std::string& to)
{
    if (Injected(TFileOp::Rename))
        return -1;
    return ::rename(from.c_str(), to.c_str());
}

namespace {
bool SameNode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// For file systems with neither the flag nor hard links (FAT, phones and network shares
// through FUSE): an exclusive create claims the name, then the rename replaces only that
// empty placeholder of ours. Whatever else turns up at the name is left alone.
int RenameOverPlaceholder(const std::string& from, const std::string& to)
{
    const int fd = ::open(to.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat claimed {};
    const bool known = ::fstat(fd, &claimed) == 0;
    ::close(fd);
    struct stat there {};
    if (!known || ::lstat(to.c_str(), &there) != 0 || !SameNode(there, claimed) || there.st_size != 0) {
        errno = EEXIST;
        return -1;
    }
    if (::rename(from.c_str(), to.c_str()) == 0)
        return 0;
    const int error = errno;
    if (::lstat(to.c_str(), &there) == 0 && SameNode(there, claimed))
        ::unlink(to.c_str());
    errno = error;
    return -1;
}
} // namespace

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (Injected(TFileOp::Rename))
        return -1;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // File systems without the flag: a hard link never replaces, then the old name goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP && errno != EMLINK)
        return -1;
    return RenameOverPlaceholder(from, to);
}

int Unlink(const std::string& path)
{
    if (Injected(TFileOp::Unlink))
        return -1;
    return ::unlink(path.c_str());
}

int OpenUnnamed(const std::string& folder, mode_t mode)
{
    const int fd = Open(folder.empty() ? std::string(".") : folder, O_TMPFILE | O_RDWR, mode);
    if (fd < 0)
        return -1;
    // The umask may have narrowed the bits; the caller asked for these exactly.
    ::fchmod(fd, mode);
    return fd;
}

namespace {
// Where the kernel lets another call reach an open file by a name.
std::string DescriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}
} // namespace

bool CanLinkOpenFile(int fd)
{
    char target[8];
    return ::readlink(DescriptorPath(fd).c_str(), target, sizeof target) > 0;
}

int LinkOpenFile(int fd, const std::string& to)
{
    if (Injected(TFileOp::Link))
        return -1;
    // AT_EMPTY_PATH would need CAP_DAC_READ_SEARCH; the /proc name needs nothing.
    return ::linkat(AT_FDCWD, DescriptorPath(fd).c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW);
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

size_t MaxNameLength(const std::string& folder)
{
    const long length = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return length > 0 ? static_cast<size_t>(length) : 255;
}

mode_t FileMode(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return 0600;
    return st.st_mode & 07777;
}

bool TFileIdentity::SameState(const TFileIdentity& other) const
{
    return SameFile(other) && size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
           changed.tv_nsec == other.changed.tv_nsec;
}

namespace {
TFileIdentity FromStat(const struct stat& st)
{
    TFileIdentity identity;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modified = st.st_mtim;
    identity.changed = st.st_ctim;
    identity.links = st.st_nlink;
    return identity;
}
} // namespace

bool IdentityOf(int fd, TFileIdentity& identity)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    identity = FromStat(st);
    return true;
}

bool IdentityAt(const std::string& path, TFileIdentity& identity, bool followLinks)
{
    struct stat st {};
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
        return false;
    identity = FromStat(st);
    return true;
}

int LockFile(int fd, bool exclusive)
{
    if (Injected(TFileOp::Lock))
        return errno;
    struct flock lock {};
    lock.l_type = static_cast<short>(exclusive ? F_WRLCK : F_RDLCK);
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return 0;
    return errno == EACCES ? EAGAIN : errno;
}

void SyncFolder(const std::string& folder)
{
    const int fd = Open(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    Sync(fd);
    Close(fd);
}

ssize_t ReadAt(int fd, void* buffer, size_t count, int64_t offset)
{
    if (Injected(TFileOp::Read))
        return -1;
    ssize_t n;
    do
        n = ::pread(fd, buffer, count, offset);
    while (n < 0 && errno == EINTR);
    return n;
}

void DropCachedPages(int fd)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

std::string ErrorText(int error)
{
    // Under a file-size limit (ulimit -f) the limit is the reason, not the file system.
    rlimit limit{};
    if (error == EFBIG && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return "File size limit exceeded";
    return std::strerror(error);
}

std::string ErrorWhile(int error, const char* doing, const std::string& path)
{
    return ErrorText(error) + " while " + doing + " " + path;
}

} // namespace lw::fs
