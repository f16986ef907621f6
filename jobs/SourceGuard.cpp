#include "jobs/SourceGuard.h"

#include <cerrno>

namespace lw::job {
namespace {

std::unique_ptr<TFileStream> OpenSource(const std::string& path, bool forWipe)
{
    if (forWipe) {
        try {
            return std::make_unique<TFileStream>(path, TFileMode::fmOpenReadWriteShared);
        } catch (const EFOpenError&) {
            // A source that may only be read is still worth the job; the wipe says why it
            // cannot go.
        }
    }
    return std::make_unique<TFileStream>(path, TFileMode::fmOpenReadShared);
}

} // namespace

TSourceGuard::TSourceGuard(const std::string& path, bool forWipe) : m_path(path), m_stream(OpenSource(path, forWipe))
{
    if (!m_stream->TryLock(false))
        throw EFOpenError("\"" + path + "\" is being wiped by another Lockwell job");
    if (!fs::IdentityOf(m_stream->Handle(), m_opened))
        throw EFOpenError("Cannot open file \"" + path + "\". " + fs::ErrorText(errno));
    // Files of /proc and the like report no size but deliver content: reading "size"
    // bytes would make an empty output of them.
    if (m_opened.size == 0 && HasBytesAt(0))
        throw EFOpenError("\"" + path + "\" reports a size of 0 but has content; copy it to an ordinary file first");
}

bool TSourceGuard::HasBytesAt(int64_t offset)
{
    uint8_t probe = 0;
    const ssize_t n = fs::ReadAt(m_stream->Handle(), &probe, 1, offset);
    if (n < 0)
        throw EReadError(fs::ErrorWhile(errno, "reading", m_path));
    return n > 0;
}

void TSourceGuard::CheckUnchanged()
{
    fs::TFileIdentity now;
    fs::TFileIdentity named;
    const bool same = fs::IdentityOf(m_stream->Handle(), now) && now.SameState(m_opened) && now.links > 0 &&
                      fs::IdentityAt(m_path, named, true) && named.SameFile(m_opened) && !HasBytesAt(m_opened.size);
    if (!same)
        throw ESourceChanged("The source changed while it was read: " + m_path);
}

void TSourceGuard::BlameChange()
{
    try {
        CheckUnchanged();
    } catch (const ESourceChanged&) {
        throw;
    } catch (const std::exception&) {
        // Cannot tell: the step's own failure stands.
    }
}

} // namespace lw::job
