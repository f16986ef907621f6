#pragma once
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/TempFileCleanup.h"

namespace lw {

// Whether the commit may replace a file already at the output path.
enum class TCommitMode {
    Replace,   // the user agreed to overwrite: replaced atomically
    NoReplace, // a file that appeared meanwhile is kept and the commit fails
};

// An output written to a working file in its own folder and put at the final path only
// when complete, so a failure leaves neither a partial file nor a damaged earlier one.
// Where the file system allows, the working file has no name until Commit, so an
// interrupted or killed process leaves nothing; elsewhere it is a hidden
// ".lockwell-*.tmp" file, removed on failure and on the cleanup signals
// (InstallTempFileCleanup).
class TAtomicFile {
public:
    // Creates the working file exclusively with exactly `permissions`, never through a symlink.
    TAtomicFile(std::string finalPath, mode_t permissions);
    // Removes the working file unless committed.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    TFileStream& Stream() { return *m_stream; }
    // The working file's name; empty while it has none.
    const std::string& TempPath() const { return m_tempPath; }
    // The working file has no name until Commit.
    bool Unnamed() const { return m_unnamed; }

    // Flushes to the disk, puts the file at the final path, closes it and syncs the folder.
    // A failure raises EFileError "<reason> while saving <final path>" (a write failure
    // already EWriteError "... while writing <final path>"); messages never name the
    // working file. With NoReplace, a file found at the final path stays as it is and
    // EFileError says so.
    // An unnamed file replacing an earlier one holds a hidden name for an instant before
    // the rename. A failed commit removes the working file at once; the object is spent
    // either way.
    void Commit(TCommitMode mode);
    // The file put in place by Commit: device and inode tell it from any other, and its
    // size is final (linking and renaming move its change time, so SameState does not hold).
    const fs::TFileIdentity& Committed() const { return m_committed; }

private:
    void CreateNamed(mode_t permissions);
    void CommitUnnamed(TCommitMode mode);
    void CommitNamed(TCommitMode mode);
    void LinkUnderTempName();
    [[noreturn]] void RaiseSaving(int error) const;
    [[noreturn]] void RaiseAppeared() const;
    void Discard() noexcept;
    void SyncFolder() const;

    std::string m_finalPath;
    std::string m_folder;
    std::string m_tempPath;
    std::optional<TTempFileRegistration> m_registration;
    std::unique_ptr<TFileStream> m_stream;
    bool m_unnamed = false;
    bool m_done = false;
    fs::TFileIdentity m_committed;
};

} // namespace lw
