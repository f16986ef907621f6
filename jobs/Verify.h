#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jobs/ProgressMeter.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

// Before a source is wiped, its output is read back and compared with it, so a fault on
// the way to the disk can never cost the only good copy.
namespace lw::job {

class EVerifyFailed : public EStreamError {
    using EStreamError::EStreamError;
};

// Decodes count bytes of `encrypted` from position 0 (decrypted with a fresh cipher of
// that index keyed by the phrase, then decompressed when compressed) and compares them
// with `plain` from position 0 to its end. Raises EVerifyFailed naming outputPath on any
// difference, including a different length and data that does not decompress; an OS
// error raises as the stream does. Progress (Verifying) counts encrypted bytes.
void VerifyDecodesTo(TStream& encrypted, int64_t count, TStream& plain, int32_t cipherIndex, std::string_view phrase,
                     bool compressed, const std::string& outputPath, const TWatch& watch = {});

// The committed output opened afresh for reading, its cached pages dropped so that the
// read comes from the disk. Raises unless it is the file that was written.
std::unique_ptr<TFileStream> ReopenCommitted(const std::string& path, const fs::TFileIdentity& written);

} // namespace lw::job
