#pragma once
#include <memory>
#include <string>
#include <sys/types.h>

#include "platform/Stream.h"

namespace lw {

enum class TFileMode {
    fmOpenReadWriteShared,   // existing file, read and write, others may use it too
    fmOpenReadShared,        // existing file, read only, others may use it too
    fmOpenReadWriteNoFollow, // existing file, read and write, never reached through a symlink
    fmCreate,                // create or truncate, read and write
};

// A byte stream over one open regular file. Open failures raise EFOpenError with the reason.
// A read or write the system refuses raises EReadError / EWriteError saying why and naming
// the file ("No space left on device while writing <name>"); a short count only means the
// file ended.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& path, TFileMode mode);
    ~TFileStream() override;

    // A new file that must not exist yet, never reached through a symlink. `name`, when
    // given, is what messages call it (a working file is known by its final name).
    static std::unique_ptr<TFileStream> CreateNew(const std::string& path, mode_t permissions,
                                                  const std::string& name = {});
    // A new file without a name in folder that fs::LinkOpenFile can name later; `name` is
    // what messages call it. Null when the folder's file system or this system cannot
    // make or later link such a file.
    static std::unique_ptr<TFileStream> CreateUnnamed(const std::string& folder, const std::string& name,
                                                      mode_t permissions);

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;

    // From now on, every `bytes` written start going to the disk at once, so a later
    // FlushToDisk has little left to wait for.
    void WriteBehind(int64_t bytes) { m_writeBehind = bytes; }
    // Forces written data to the disk; raises EFileError "<reason> while saving <name>".
    void FlushToDisk();
    // Closes now and reports a failed close (the data may not have reached the file) as
    // FlushToDisk does.
    void Close();

    // Whole-file advisory lock of this open file (see fs::LockFile). False when another
    // holder's lock conflicts; raises EFileError on any other failure.
    bool TryLock(bool exclusive);
    // Opened for writing as well as reading.
    bool Writable() const;

    // The name messages use: the path, or the name given at creation.
    const std::string& FileName() const { return m_path; }
    int Handle() const { return m_fd; }

private:
    TFileStream(std::string path, int fd);
    std::string m_path;
    int m_fd = -1;
    int64_t m_writeBehind = 0;
    int64_t m_unsent = 0;
#ifdef _WIN32
    // Windows cannot ask an open handle how it was opened.
    bool m_writable = false;
#endif
};

} // namespace lw
