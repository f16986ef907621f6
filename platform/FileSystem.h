#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// Every call the program makes on the file system goes through here, so a native
// build can bring its own rules and tests can make any single operation fail.
namespace lw::fs {

enum class TFileOp { Open, Read, Write, Sync, Rename, Unlink, Close };

// Test seam: consulted before each operation; a non-zero errno makes it fail with that error.
// A failed Close still releases the descriptor, as close(2) does.
using TFaultHook = int (*)(TFileOp op, void* context);
void SetFaultHook(TFaultHook hook, void* context);

// Thin wrappers: -1 (and errno) on failure, retried on EINTR.
int Open(const std::string& path, int flags, mode_t mode = 0);
ssize_t Read(int fd, void* buffer, size_t count);
ssize_t Write(int fd, const void* buffer, size_t count);
int Sync(int fd);
// Starts writing the file's dirty pages to the disk without waiting; only a hint.
void StartWriteBack(int fd);
int Close(int fd);
int Rename(const std::string& from, const std::string& to);
int Unlink(const std::string& path);

// A regular file after following symlinks; a folder does not count.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The longest name the folder's file system takes (255 when it cannot tell).
size_t MaxNameLength(const std::string& folder);
// Permission bits of an open file, or 0600 when they cannot be read.
mode_t FileMode(int fd);

std::string ErrorText(int error);

} // namespace lw::fs
