#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <ctime>
#include <sys/types.h>

// Every call the program makes on the file system goes through here, so a native
// build can bring its own rules and tests can make any single operation fail.
namespace lw::fs {

enum class TFileOp { Open, Read, Write, Sync, Rename, Unlink, Close, Link, Lock };

// Test seam: consulted before each operation; a non-zero errno makes it fail with that error.
// A failed Close still releases the descriptor, as close(2) does.
using TFaultHook = int (*)(TFileOp op, void* context);
void SetFaultHook(TFaultHook hook, void* context);
// Test seam: false makes every atomic working file a named one, the path taken on file
// systems without unnamed files.
void AllowUnnamedFiles(bool allowed);
bool UnnamedFilesAllowed();

// Thin wrappers: -1 (and errno) on failure, retried on EINTR.
int Open(const std::string& path, int flags, mode_t mode = 0);
ssize_t Read(int fd, void* buffer, size_t count);
ssize_t Write(int fd, const void* buffer, size_t count);
int Sync(int fd);
// Starts writing the file's dirty pages to the disk without waiting; only a hint.
void StartWriteBack(int fd);
int Close(int fd);
int Rename(const std::string& from, const std::string& to);
// Like Rename, but fails with EEXIST instead of replacing a file at `to`.
int RenameNoReplace(const std::string& from, const std::string& to);
int Unlink(const std::string& path);

// A regular file without a name in folder (O_TMPFILE), with exactly `mode`: nothing of it
// outlives the process unless LinkOpenFile names it. -1 (and errno) when it cannot be
// made; EOPNOTSUPP, EISDIR or EINVAL say the file system or kernel has no such files.
int OpenUnnamed(const std::string& folder, mode_t mode);
// Whether LinkOpenFile can reach this open file (it goes through /proc/self/fd).
bool CanLinkOpenFile(int fd);
// Gives an open file the name `to`; fails with EEXIST rather than replace anything there.
int LinkOpenFile(int fd, const std::string& to);

// A regular file after following symlinks; a folder does not count.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The longest name the folder's file system takes (255 when it cannot tell).
size_t MaxNameLength(const std::string& folder);
// Permission bits of an open file, or 0600 when they cannot be read.
mode_t FileMode(int fd);

// What tells one file from another and one state of it from the next.
struct TFileIdentity {
    // Volume and file index on Windows, whose ino_t is too narrow for one.
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    timespec modified{};
    timespec changed{};
    uint64_t links = 0;

    bool SameFile(const TFileIdentity& other) const { return device == other.device && inode == other.inode; }
    // Same file, same size, same modification and change times to the nanosecond.
    bool SameState(const TFileIdentity& other) const;
};
// False (and errno) when the file cannot be examined.
bool IdentityOf(int fd, TFileIdentity& identity);
// Of the name itself, or of what it finally names when followLinks is set.
bool IdentityAt(const std::string& path, TFileIdentity& identity, bool followLinks = false);

// An advisory lock over the whole file, held by this open file description and
// released with it: shared for readers, exclusive for a wipe. Never waits.
// 0 when taken; EAGAIN when another description holds a conflicting lock; else errno.
int LockFile(int fd, bool exclusive);

// Makes new names in the folder survive a power cut; best effort, nothing reported.
void SyncFolder(const std::string& folder);

// Reads at offset without moving the file position; -1 (and errno) on failure.
ssize_t ReadAt(int fd, void* buffer, size_t count, int64_t offset);

// Drops the file's clean pages from the cache, so the next read comes from the disk.
// Only a hint: file systems without a disk ignore it.
void DropCachedPages(int fd);

std::string ErrorText(int error);
// An OS error with the file it met: "<ErrorText> while <doing> <path>".
std::string ErrorWhile(int error, const char* doing, const std::string& path);

} // namespace lw::fs
