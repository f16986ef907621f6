#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

namespace lw::job {

// The source is no longer the file, or no longer holds the bytes, that were read.
class ESourceChanged : public EStreamError {
    using EStreamError::EStreamError;
};

// A job's source for the length of the job: opened for reading (and for writing too when
// it is to be wiped and may be), locked shared so that no other Lockwell job wipes it
// while it is read, and checked for any change before anything is committed or wiped.
class TSourceGuard {
public:
    // Raises EFOpenError when the file cannot be opened, is being wiped by another job,
    // or reports a size of 0 while it has content (such a file has no end to read to).
    TSourceGuard(const std::string& path, bool forWipe);

    TFileStream& Stream() { return *m_stream; }
    const std::string& Path() const { return m_path; }
    // The size when it was opened: what the job reads.
    int64_t Size() const { return m_opened.size; }

    // Raises ESourceChanged unless the file is still at its path, with the size and the
    // modification and change times it had when opened, and nothing lies past its end.
    void CheckUnchanged();
    // For a step reading the source that failed: a file shortened or rewritten under the
    // read fails it too, and then the change is the cause to tell. Raises ESourceChanged
    // when the source changed; returns otherwise, so the step's own failure goes on.
    void BlameChange();

    // For the wipe, which takes the stream over together with its lock.
    std::unique_ptr<TFileStream> Release() { return std::move(m_stream); }

private:
    bool HasBytesAt(int64_t offset);

    std::string m_path;
    std::unique_ptr<TFileStream> m_stream;
    fs::TFileIdentity m_opened;
};

} // namespace lw::job
