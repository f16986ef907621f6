#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/Exception.h"
#include "platform/Path.h"

namespace lw {
namespace {

// A fixed-length name, so a long output name cannot push it past the name limit.
std::string TempCandidate(const std::string& folder)
{
    std::random_device random;
    const uint64_t tag = (uint64_t(random()) << 32) ^ random();
    char name[32];
    std::snprintf(name, sizeof name, ".lockwell-%012llx.tmp", static_cast<unsigned long long>(tag & 0xFFFFFFFFFFFFull));
    return folder + name;
}

constexpr int64_t kWriteBehind = int64_t{8} << 20;
constexpr int kNameAttempts = 8;

} // namespace

TAtomicFile::TAtomicFile(std::string finalPath, mode_t permissions)
    : m_finalPath(std::move(finalPath)), m_folder(path::ExtractFilePath(m_finalPath))
{
    // Fail now rather than after all the work, when the commit would refuse.
    if (fs::DirectoryExists(m_finalPath))
        throw EFOpenError("Cannot create file \"" + m_finalPath + "\". " + fs::ErrorText(EISDIR));
    // The temporary name always fits; an output name that doesn't would fail only at the commit.
    if (path::ExtractFileName(m_finalPath).size() > fs::MaxNameLength(m_folder))
        throw EFOpenError("Cannot create file \"" + m_finalPath + "\". " + fs::ErrorText(ENAMETOOLONG));
    if (fs::UnnamedFilesAllowed())
        m_stream = TFileStream::CreateUnnamed(m_folder.empty() ? "." : m_folder, m_finalPath, permissions);
    m_unnamed = m_stream != nullptr;
    if (!m_unnamed)
        CreateNamed(permissions);
    // Overlaps the disk writes with the work instead of waiting for them at Commit.
    m_stream->WriteBehind(kWriteBehind);
}

void TAtomicFile::CreateNamed(mode_t permissions)
{
    for (int attempt = 0;; ++attempt) {
        std::string candidate = TempCandidate(m_folder);
        try {
            // A signal between creating and registering would leave the file behind.
            TCleanupSignalsHeld held;
            // The user knows the output's name, not the temporary one.
            m_stream = TFileStream::CreateNew(candidate, permissions, m_finalPath);
            m_registration.emplace(candidate);
            m_tempPath = std::move(candidate);
            return;
        } catch (const EFOpenError&) {
            // Only a name taken meanwhile is worth another try.
            const bool taken = fs::FileExists(candidate) || fs::DirectoryExists(candidate);
            if (taken && attempt < kNameAttempts)
                continue;
            throw;
        }
    }
}

TAtomicFile::~TAtomicFile()
{
    if (!m_done)
        Discard();
}

void TAtomicFile::Discard() noexcept
{
    // An unnamed working file goes with its descriptor.
    m_stream.reset();
    if (!m_tempPath.empty()) {
        TCleanupSignalsHeld held;
        fs::Unlink(m_tempPath);
        m_registration.reset();
        m_tempPath.clear();
    }
}

void TAtomicFile::Commit(TCommitMode mode)
{
    try {
        m_stream->FlushToDisk();
        if (!fs::IdentityOf(m_stream->Handle(), m_committed))
            RaiseSaving(errno);
        if (m_unnamed)
            CommitUnnamed(mode);
        else
            CommitNamed(mode);
    } catch (...) {
        // Nothing of ours stays once the commit has failed, whoever keeps this object.
        Discard();
        throw;
    }
    m_done = true;
    SyncFolder();
}

void TAtomicFile::CommitNamed(TCommitMode mode)
{
    m_stream->Close();
    TCleanupSignalsHeld held;
    if ((mode == TCommitMode::Replace ? fs::Rename(m_tempPath, m_finalPath)
                                      : fs::RenameNoReplace(m_tempPath, m_finalPath)) != 0) {
        if (mode == TCommitMode::NoReplace && errno == EEXIST)
            RaiseAppeared();
        RaiseSaving(errno);
    }
    m_registration.reset();
}

void TAtomicFile::CommitUnnamed(TCommitMode mode)
{
    // The link itself refuses a name that is taken, so where nothing is at the final path
    // the output never has any other name.
    if (fs::LinkOpenFile(m_stream->Handle(), m_finalPath) == 0) {
        try {
            m_stream->Close();
        } catch (const EFileError&) {
            // Not complete after all: take back the name, as long as it still is ours.
            fs::TFileIdentity there;
            if (fs::IdentityAt(m_finalPath, there) && there.SameFile(m_committed))
                fs::Unlink(m_finalPath);
            throw;
        }
        return;
    }
    if (errno != EEXIST)
        RaiseSaving(errno);
    if (mode == TCommitMode::NoReplace)
        RaiseAppeared();
    // Replacing needs a rename, and a rename needs a name: a hidden one for a moment.
    LinkUnderTempName();
    m_stream->Close();
    TCleanupSignalsHeld held;
    if (fs::Rename(m_tempPath, m_finalPath) != 0)
        RaiseSaving(errno);
    m_registration.reset();
}

void TAtomicFile::LinkUnderTempName()
{
    for (int attempt = 0;; ++attempt) {
        std::string candidate = TempCandidate(m_folder);
        TCleanupSignalsHeld held;
        if (fs::LinkOpenFile(m_stream->Handle(), candidate) == 0) {
            m_registration.emplace(candidate);
            m_tempPath = std::move(candidate);
            return;
        }
        if (errno != EEXIST || attempt >= kNameAttempts)
            RaiseSaving(errno);
    }
}

void TAtomicFile::RaiseSaving(int error) const
{
    // Never the working file's name: the user knows only the output's.
    throw EFileError(fs::ErrorWhile(error, "saving", m_finalPath));
}

void TAtomicFile::RaiseAppeared() const
{
    throw EFileError("Cannot create file \"" + m_finalPath +
                     "\". A file of that name appeared while the job ran and was left alone.");
}

void TAtomicFile::SyncFolder() const
{
    // Best effort: the output is complete and in place already, and some file systems
    // refuse to sync a folder.
    fs::SyncFolder(m_folder.empty() ? std::string(".") : m_folder);
}

} // namespace lw
