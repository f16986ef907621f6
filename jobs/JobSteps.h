#pragma once
#include <cstdint>
#include <exception>
#include <string>

#include "crypto/Cipher.h"
#include "jobs/Jobs.h"
#include "platform/FileStream.h"
#include "platform/Stream.h"

// Steps the encrypt and decrypt jobs share.
namespace lw::job {

// The output takes the source's permission bits, so a private file stays private.
mode_t OutputPermissions(const TFileStream& source);

// Keys with the SHA-1 digest of the phrase; raises when no cipher was chosen.
void KeyCipher(TDCP_cipher* cipher, const std::string& phrase);

// A source that ends early or fails a read must not pass for a finished job.
void RequireComplete(uint64_t done, int64_t expected);

// The whole source, from position 0, as one bzip2 stream with 500,000-byte blocks.
void CompressWhole(TStream& source, TStream& destination);
// Decompresses the whole source into destination in pieces of 4,096 bytes.
void DecompressWhole(TStream& source, TStream& destination);

// Clipboard, open (decryption only), mail and the wipe after mailing, in that order.
void RunHandOffs(const TJobOptions& options, const std::string& outputPath, bool decrypting,
                 TJobContext& context);

// The job's one failure box; the reason is kept for callers that can show it.
void ReportFailure(TJobContext& context, const std::exception& failure);

} // namespace lw::job
