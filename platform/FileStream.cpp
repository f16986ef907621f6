// What a file stream does the same on every system: reading and writing whole spans over
// the system's descriptor calls, flushing, locking and closing.
#include "platform/FileStream.h"

#include <cerrno>

#include "platform/Exception.h"
#include "platform/FileSystem.h"

namespace lw {

TFileStream::~TFileStream()
{
    if (m_fd >= 0)
        fs::Close(m_fd);
}

int64_t TFileStream::Read(std::span<uint8_t> buffer)
{
    int64_t total = 0;
    while (total < static_cast<int64_t>(buffer.size())) {
        const ssize_t n = fs::Read(m_fd, buffer.data() + total, buffer.size() - static_cast<size_t>(total));
        if (n < 0)
            throw EReadError(fs::ErrorWhile(errno, "reading", m_path));
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

int64_t TFileStream::Write(std::span<const uint8_t> buffer)
{
    int64_t total = 0;
    while (total < static_cast<int64_t>(buffer.size())) {
        const ssize_t n = fs::Write(m_fd, buffer.data() + total, buffer.size() - static_cast<size_t>(total));
        if (n < 0)
            throw EWriteError(fs::ErrorWhile(errno, "writing", m_path));
        if (n == 0)
            break;
        total += n;
    }
    if (m_writeBehind > 0 && (m_unsent += total) >= m_writeBehind) {
        fs::StartWriteBack(m_fd);
        m_unsent = 0;
    }
    return total;
}

void TFileStream::FlushToDisk()
{
    if (fs::Sync(m_fd) != 0)
        throw EFileError(fs::ErrorWhile(errno, "saving", m_path));
}

bool TFileStream::TryLock(bool exclusive)
{
    const int error = fs::LockFile(m_fd, exclusive);
    if (error == EAGAIN)
        return false;
    if (error != 0)
        throw EFileError("Cannot lock \"" + m_path + "\". " + fs::ErrorText(error));
    return true;
}

void TFileStream::Close()
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    // Network file systems may report a failed write only here. An interrupted close has
    // still released the descriptor, and retrying could close someone else's.
    if (fs::Close(fd) != 0 && errno != EINTR)
        throw EFileError(fs::ErrorWhile(errno, "saving", m_path));
}

} // namespace lw
