#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw {
namespace {

// A fixed-length name, so a long output name cannot push it past the name limit.
std::string TempCandidate(const std::string& folder)
{
    std::random_device random;
    const uint64_t tag = (uint64_t(random()) << 32) ^ random();
    char name[32];
    std::snprintf(name, sizeof name, ".lockwell-%012llx.tmp",
                  static_cast<unsigned long long>(tag & 0xFFFFFFFFFFFFull));
    return folder + name;
}

constexpr int64_t kWriteBehind = int64_t{8} << 20;

} // namespace

TAtomicFile::TAtomicFile(std::string finalPath, mode_t permissions) : m_finalPath(std::move(finalPath))
{
    // Fail now rather than after all the work, when the rename would refuse.
    if (fs::DirectoryExists(m_finalPath))
        throw EFOpenError("Cannot create file \"" + m_finalPath + "\". " + fs::ErrorText(EISDIR));
    const std::string folder = path::ExtractFilePath(m_finalPath);
    // The temporary name always fits; an output name that doesn't would fail only at the rename.
    if (path::ExtractFileName(m_finalPath).size() > fs::MaxNameLength(folder))
        throw EFOpenError("Cannot create file \"" + m_finalPath + "\". " + fs::ErrorText(ENAMETOOLONG));
    for (int attempt = 0;; ++attempt) {
        std::string candidate = TempCandidate(folder);
        try {
            m_stream = TFileStream::CreateNew(candidate, permissions);
            // Overlaps the disk writes with the work instead of waiting for them at Commit.
            m_stream->WriteBehind(kWriteBehind);
            m_tempPath = std::move(candidate);
            return;
        } catch (const EFOpenError& e) {
            // Only a name taken meanwhile is worth another try.
            const bool taken = fs::FileExists(candidate) || fs::DirectoryExists(candidate);
            if (taken && attempt < 8)
                continue;
            // The user knows the output's name, not the temporary one.
            std::string message = e.Message();
            if (const auto at = message.find(candidate); at != std::string::npos)
                message.replace(at, candidate.size(), m_finalPath);
            throw EFOpenError(message);
        }
    }
}

TAtomicFile::~TAtomicFile()
{
    if (m_committed)
        return;
    m_stream.reset();
    fs::Unlink(m_tempPath);
}

void TAtomicFile::Commit(TCommitMode mode)
{
    m_stream->FlushToDisk();
    m_stream->Close();
    if ((mode == TCommitMode::Replace ? fs::Rename(m_tempPath, m_finalPath)
                                      : fs::RenameNoReplace(m_tempPath, m_finalPath)) != 0)
        throw EFileError("Cannot rename \"" + m_tempPath + "\" to \"" + m_finalPath + "\". " +
                         fs::ErrorText(errno));
    m_committed = true;
    SyncFolder();
}

void TAtomicFile::SyncFolder() const
{
    // Makes the new name survive a power cut. Best effort: the output is complete and in
    // place already, and some file systems refuse to sync a folder.
    const std::string folder = path::ExtractFilePath(m_finalPath);
    const int fd = fs::Open(folder.empty() ? std::string(".") : folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fs::Sync(fd);
    fs::Close(fd);
}

} // namespace lw
