#pragma once
#include <cstdint>
#include <string>

// What a wipe must know about a file before it overwrites anything: what the name is,
// whether the name can be removed afterwards and whether overwriting reaches the disk.
namespace lw::fs {

enum class TNodeKind { Missing, Regular, Symlink, Folder, Fifo, Device, Socket, Other };
// The name itself, a symlink not followed; Missing when it cannot be examined.
TNodeKind KindAt(const std::string& path);

enum class TDeleteBlock {
    None,
    FolderReadOnly,    // the folder's file system is mounted read-only
    FolderNotWritable, // no write and search permission on the folder for this process
    StickyFolder,      // sticky folder, and neither the file nor the folder is ours
    FileImmutable,
    FileReadOnly, // Windows: the read-only attribute stops the deletion
    FileAppendOnly,
    FolderImmutable,
    FolderAppendOnly,
    MountPoint, // something is mounted at the name (a bind-mounted file, say)
};
// Whether this process could remove the name `path` from its folder. Flags that the
// file system cannot report count as not set; a file that cannot be examined at all is
// left to whoever opens it next.
TDeleteBlock DeleteBlock(const std::string& path);

// Gives the file's holes their blocks, so that overwriting it cannot run out of space
// halfway. 0 when it has none or they fit; ENOSPC (or EDQUOT) when they do not. Other
// failures count as 0: the passes will report them.
int AllocateHoles(int fd);

// Where overwriting in place may not reach every copy of a file's data: a file system that
// writes changed data to new places, or one held in memory whose pages may go to swap.
// None when it cannot tell.
enum class TOldCopies { None, NewPlaces, Swap };
TOldCopies OldCopiesOf(const std::string& path);

// The wipe's random seed: the low 32 bits of the high-resolution counter (the monotonic
// clock in nanoseconds; on Windows QueryPerformanceCounter, or the millisecond tick count
// where there is no such counter).
uint32_t HighResolutionCounter();

// A second handle on an open file description: its locks outlive closing the first
// handle and go with this one. Closing it reports nothing, since the first close did.
class TDescriptionHold {
public:
    // Raises EFileError when no handle is left.
    TDescriptionHold(int fd, const std::string& path);
    ~TDescriptionHold();
    TDescriptionHold(const TDescriptionHold&) = delete;
    TDescriptionHold& operator=(const TDescriptionHold&) = delete;
    int Handle() const { return m_fd; }

private:
    int m_fd = -1;
};

} // namespace lw::fs
