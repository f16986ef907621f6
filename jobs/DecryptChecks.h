#pragma once
#include <optional>
#include <string>

#include "compress/BZip2.h"
#include "jobs/Jobs.h"
#include "platform/PhraseSpellings.h"
#include "platform/FileStream.h"

// A ".fe2" file has no header, so a wrong key phrase or cipher decrypts without an error
// into noise of the same length; these checks keep that noise from costing the source.
namespace lw::job {

// Empty when the decrypted output looks like some kind of file; otherwise the warning
// to show, naming another cipher when one of them decrypts the source plausibly.
std::string DoubtAboutOutput(TFileStream& output, TFileStream& source, const TJobOptions& options);

// When the phrase did not decrypt the source, the first of its other spellings (as other
// systems write its characters) that does, with the chosen cipher; and what to tell of it:
// "The key phrase matched as typed on a Windows system (Windows-1251)."
std::optional<TPhraseSpelling> FittingSpelling(TFileStream& source, const TJobOptions& options, bool compressed);
std::string SpellingNote(const TPhraseSpelling& spelling);

// Asks, with No as the default, whether to wipe the source despite the doubt.
bool WipeDespiteDoubt(const std::string& doubt, const std::string& sourcePath, IAskUser& ask);

// Asks, with No as the default, whether to keep the doubtful output at all.
bool KeepDoubtfulOutput(const std::string& doubt, const std::string& outputPath, IAskUser& ask);

// After "File decrypted": the doubt as a warning, both files kept.
void WarnAboutOutput(const std::string& doubt, TJobContext& context);

// A ".fez" that does not decompress: the reason in words ("Cannot decrypt <source>: <the
// code's text>"), naming another cipher when one of them gives the compressed data's signature.
EBZDecompressionError WrongKeyOrCipher(const EBZip2Error& failure, TFileStream& source, const TJobOptions& options);

} // namespace lw::job
