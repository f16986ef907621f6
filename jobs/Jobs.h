#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "jobs/Progress.h"
#include "jobs/Wipe.h"
#include "platform/SecretText.h"

namespace lw {

// What the window hands to one job; the jobs read nothing else from it.
struct TJobOptions {
    std::string SourcePath;
    TSecretText KeyPhrase;
    int32_t CipherIndex = -1;      // 0 RC4, 1 Blowfish, 2 Serpent, 3 Rijndael, -1 none
    std::string DestinationFolder; // empty: beside the source
    bool Compress = false;
    bool DeleteSource = false;
    bool CopyToClipboard = false;
    bool RunOutput = false;
    bool SendByMail = false;
    bool DeleteAfterMail = false;
};

struct TJobContext {
    IAskUser& Ask;
    IHandOff& HandOff;
    // Set when a job fails: the underlying reason behind "File IO error".
    std::string FailureReason = {};
    // Set when "Delete source file" was asked and the source stays: why it stays.
    std::string SourceKept = {};
    // How the source's wipe ended, when it was asked for; Overwritten: only the name stays,
    // and SourceKept says so.
    std::optional<TWipeEnd> SourceWipe = std::nullopt;
    // Set once the output is in place: where it went.
    std::string OutputPath = {};
    // Both optional: who hears how far the job got, and the request that stops it.
    IJobProgress* Progress = nullptr;
    const TStopRequest* Stop = nullptr;
    // Set when the stop request ended the job early (see TStopRequest).
    bool Stopped = false;
    // A ".fe2" that decrypts to what looks like no known kind of file: unset asks the user
    // whether to keep it; true keeps it and warns after the result; false drops it unasked.
    // Dropped, it never appears under its name, and FailureReason says why (no box).
    std::optional<bool> KeepDoubtful = std::nullopt;
};

// True when the job finished or failed; false when abandoned at the overwrite prompt.
bool RunEncryptJob(const TJobOptions& options, TJobContext& context);
bool RunDecryptJob(const TJobOptions& options, TJobContext& context);

} // namespace lw
