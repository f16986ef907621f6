#pragma once
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "crypto/Cipher.h"
#include "jobs/Jobs.h"
#include "jobs/OutputName.h"
#include "jobs/ProgressMeter.h"
#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"

// Steps the encrypt and decrypt jobs share.
namespace lw::job {

// Settles a file already at outputPath (see SettleExistingOutput) and says how the
// output may be committed: over that file only when the user agreed to overwrite it.
bool SettleOutput(std::string& outputPath, TJobKind kind, IAskUser& ask, TCommitMode& mode);

class TSourceGuard;

// With "Delete source file": reads the committed output back from the disk, proves that it
// gives back the source (or, decrypting, that the source gives it), checks the source is
// unchanged and only then hands it to the wipe. A source that stays is noted with why.
void ProveThenWipeSource(TSourceGuard& source, const TAtomicFile& output, const std::string& outputPath,
                         const TJobOptions& options, TJobKind kind, bool compressed, TJobContext& context);

// The output takes the source's permission bits, so a private file stays private.
mode_t OutputPermissions(const TFileStream& source);

// Keys with the SHA-1 digest of the phrase; raises when no cipher was chosen.
void KeyCipher(TDCP_cipher* cipher, std::string_view phrase);

// A source that ends early or fails a read must not pass for a finished job.
void RequireComplete(uint64_t done, int64_t expected);

// The context's listener and stop request, for the steps below.
TWatch WatchOf(const TJobContext& context);

// count bytes of in through StreamEncrypt (Encrypting) or StreamDecrypt (Decrypting) into
// out, in stretches of whole pieces so the output is that of one call; between them the
// watch hears how far it got and may stop the job. Raises as RequireComplete does.
void CipherPieces(TDCP_cipher& cipher, TJobPhase phase, TStream& in, TStream& out, int64_t count, const TWatch& watch);

// Workers for the compression stages: one per processor.
unsigned WorkerThreads();

// The whole source, from position 0, as one bzip2 stream with 500,000-byte blocks,
// encrypted on the way in the pieces StreamEncrypt uses. Raises when fewer bytes than
// the source's size could be read.
void CompressAndEncrypt(TStream& source, TDCP_cipher& cipher, TStream& destination, const TWatch& watch = {});
// Decrypts count bytes of the source, from where it stands, in the pieces StreamDecrypt
// uses and writes their decompressed content to destination. Progress counts source bytes.
void DecryptAndDecompress(TStream& source, TDCP_cipher& cipher, int64_t count, TStream& destination,
                          const TWatch& watch = {});

// Clipboard, open (decryption only), mail and the wipe after mailing, in that order;
// none after a stop.
// The result box ("File encrypted", "File decrypted"): its detail names the output, then
// the note, if any.
void ReportDone(TJobContext& context, const char* text, const std::string& outputPath, const std::string& note = {});

void RunHandOffs(const TJobOptions& options, const std::string& outputPath, bool decrypting, TJobContext& context);

// Only inside a handler, for the step that reads the source into the output: rethrows
// the failure being handled in words that name the file. A changed source is told as
// that (see TSourceGuard::BlameChange), a compression failure as "Cannot compress
// <source>: <the code's text>", a source that gave fewer bytes than its size and no OS
// error as "The source ended early while it was read: <source>"; anything else as it is.
[[noreturn]] void RethrowNamed(TSourceGuard& source);

// The job's one failure box; the reason is kept for callers that can show it. A stop
// shows no box: it is marked as one. A failure that is not one of the program's own
// (memory, threads) is told as "Cannot encrypt <source>: <what>".
void ReportFailure(TJobContext& context, const std::exception& failure, TJobKind kind, const std::string& sourcePath);

} // namespace lw::job
