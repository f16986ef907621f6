#include "platform/WipeChecks.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw::fs {
namespace {

struct TInodeFlags {
    bool immutable = false;
    bool appendOnly = false;
};

// Opened only to ask for the flags: no symlink followed, no FIFO waited on, and the
// ioctl goes to nothing but a file or folder, since a device driver would take it as its own.
TInodeFlags FlagsOf(const std::string& path, bool folder)
{
    TInodeFlags flags;
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd >= 0) {
        struct stat st {};
        int bits = 0;
        const bool examined = ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) &&
                              ::ioctl(fd, FS_IOC_GETFLAGS, &bits) == 0;
        ::close(fd);
        if (examined) {
            flags.immutable = (bits & FS_IMMUTABLE_FL) != 0;
            flags.appendOnly = (bits & FS_APPEND_FL) != 0;
            return flags;
        }
    }
    // Unreadable for this process: the same flags without opening, where the file system reports them.
    struct statx stx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &stx) == 0) {
        flags.immutable = (stx.stx_attributes_mask & stx.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
        flags.appendOnly = (stx.stx_attributes_mask & stx.stx_attributes & STATX_ATTR_APPEND) != 0;
    }
    return flags;
}

std::string FolderOf(const std::string& path)
{
    const std::string folder = path::ExtractFilePath(path);
    return folder.empty() ? "." : folder;
}

// The unlink would fail with EBUSY. Kernels before 5.8 do not report mount roots: there
// a file on another device than its folder counts.
bool MountedAt(const std::string& path, const struct stat& file, const std::string& folder)
{
    struct statx stx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, 0, &stx) == 0 &&
        (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    struct stat dir {};
    return ::stat(folder.c_str(), &dir) == 0 && dir.st_dev != file.st_dev;
}

} // namespace

TNodeKind KindAt(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return TNodeKind::Missing;
    if (S_ISREG(st.st_mode))
        return TNodeKind::Regular;
    if (S_ISLNK(st.st_mode))
        return TNodeKind::Symlink;
    if (S_ISDIR(st.st_mode))
        return TNodeKind::Folder;
    if (S_ISFIFO(st.st_mode))
        return TNodeKind::Fifo;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return TNodeKind::Device;
    if (S_ISSOCK(st.st_mode))
        return TNodeKind::Socket;
    return TNodeKind::Other;
}

TDeleteBlock DeleteBlock(const std::string& path)
{
    const std::string folder = FolderOf(path);
    struct stat file {
    }, dir{};
    if (::lstat(path.c_str(), &file) != 0)
        return TDeleteBlock::None;
    const TInodeFlags fileFlags = FlagsOf(path, false);
    if (fileFlags.immutable)
        return TDeleteBlock::FileImmutable;
    if (fileFlags.appendOnly)
        return TDeleteBlock::FileAppendOnly;
    const TInodeFlags folderFlags = FlagsOf(folder, true);
    if (folderFlags.immutable)
        return TDeleteBlock::FolderImmutable;
    if (folderFlags.appendOnly)
        return TDeleteBlock::FolderAppendOnly;
    if (MountedAt(path, file, folder))
        return TDeleteBlock::MountPoint;
    // Effective ids, as the kernel will use them for the unlink.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return errno == EROFS ? TDeleteBlock::FolderReadOnly : TDeleteBlock::FolderNotWritable;
    if (::stat(folder.c_str(), &dir) != 0)
        return TDeleteBlock::None;
    const uid_t me = ::geteuid();
    // Root stands for the privilege (CAP_FOWNER) the kernel asks for here.
    if ((dir.st_mode & S_ISVTX) && me != 0 && file.st_uid != me && dir.st_uid != me)
        return TDeleteBlock::StickyFolder;
    return TDeleteBlock::None;
}

int AllocateHoles(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_blocks * 512 >= st.st_size)
        return 0;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, st.st_size) == 0)
        return 0;
    if (errno == ENOSPC || errno == EDQUOT)
        return errno;
    // No fallocate here: compare with what the file system says is free.
    struct statvfs space {};
    if (::fstatvfs(fd, &space) != 0)
        return 0;
    const auto missing = static_cast<unsigned long long>(st.st_size - st.st_blocks * 512);
    return static_cast<unsigned long long>(space.f_bavail) * space.f_frsize < missing ? ENOSPC : 0;
}

TOldCopies OldCopiesOf(const std::string& path)
{
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0)
        return TOldCopies::None;
    switch (static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFul) {
    case 0x9123683Eul: // btrfs
    case 0x2FC12FC1ul: // ZFS
    case 0xF2F52010ul: // F2FS
    case 0x3434ul:     // NILFS
    case 0xCA451A4Eul: // bcachefs
    case 0x794C7630ul: // overlayfs
    case 0x24051905ul: // UBIFS
    case 0x72B6ul:     // JFFS2
        return TOldCopies::NewPlaces;
    case 0x01021994ul: return TOldCopies::Swap; // tmpfs
    default: return TOldCopies::None;
    }
}

uint32_t HighResolutionCounter()
{
    const auto ticks =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ticks.count());
}

TDescriptionHold::TDescriptionHold(int fd, const std::string& path) : m_fd(::fcntl(fd, F_DUPFD_CLOEXEC, 0))
{
    if (m_fd < 0)
        throw EFileError("Cannot keep \"" + path + "\" open. " + ErrorText(errno));
}

TDescriptionHold::~TDescriptionHold()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace lw::fs
