#pragma once
#include <memory>
#include <string>
#include <sys/types.h>

#include "platform/FileStream.h"

namespace lw {

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

    // Flushes to the disk, closes, renames over the final path and syncs the folder.
    void Commit();

private:
    void SyncFolder() const;

    std::string m_finalPath;
    std::string m_tempPath;
    std::unique_ptr<TFileStream> m_stream;
    bool m_committed = false;
};

} // namespace lw
