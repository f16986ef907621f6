#pragma once
#include <memory>
#include <string>
#include <sys/types.h>

#include "platform/FileStream.h"

namespace lw {

// Whether the final rename may replace a file already at the output path.
enum class TCommitMode {
    Replace,   // the user agreed to overwrite: replaced atomically
    NoReplace, // a file that appeared meanwhile is kept and the commit fails
};

// An output written under a temporary name in its own folder and moved over the final
// path only when complete, so a failure leaves neither a partial file nor a damaged
// earlier one.
class TAtomicFile {
public:
    // Creates the temporary file exclusively, never through a symlink.
    TAtomicFile(std::string finalPath, mode_t permissions);
    // Removes the temporary file unless committed.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    TFileStream& Stream() { return *m_stream; }
    const std::string& TempPath() const { return m_tempPath; }

    // Flushes to the disk, closes, moves into the final path and syncs the folder.
    void Commit(TCommitMode mode);

private:
    void SyncFolder() const;

    std::string m_finalPath;
    std::string m_tempPath;
    std::unique_ptr<TFileStream> m_stream;
    bool m_committed = false;
};

} // namespace lw
