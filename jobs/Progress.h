#pragma once
#include <atomic>
#include <cstdint>

#include "platform/Exception.h"

// How a running job tells its caller how far it got, and how the caller asks it to stop.
namespace lw {

enum class TJobPhase { Reading, Compressing, Encrypting, Decrypting, Decompressing, Verifying, Wiping };

// Called on the job's thread, between pieces of work, so it must be cheap (the caller
// throttles any drawing). Within one phase (one pass of a wipe) done never goes down and
// reaches expected exactly once, as the phase ends; a phase with work to do starts with
// done 0. Bytes counted: the source for encrypting, compressing and decrypting, the
// encrypted file for decompressing and verifying, the file for each wipe pass.
// Reading is not reported by today's jobs: they read and work in the same pass.
class IJobProgress {
public:
    virtual ~IJobProgress() = default;
    // pass: 1..7 while Wiping, else 0.
    virtual void Progress(TJobPhase phase, int64_t done, int64_t expected, int pass) = 0;
};

// Set from any thread (a signal handler too: a lock-free flag); the job looks at it
// between pieces. A job stopped before its output was committed leaves nothing behind
// and ends with TJobContext::Stopped set and FailureReason "Stopped", without a box.
// Once committed, a stop keeps the source (SourceKept "stopped") and skips the
// hand-offs. A wipe finishes the pass it is in, keeps the file and says "stopped".
class TStopRequest {
public:
    void Request() noexcept { m_requested.store(true, std::memory_order_relaxed); }
    bool Requested() const noexcept { return m_requested.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_requested{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

// What a stopped job or wipe carries up to where it ends.
class EJobStopped : public Exception {
public:
    EJobStopped() : Exception("stopped") {}
};

inline constexpr const char* kStoppedReason = "stopped";
inline constexpr const char* kStoppedFailure = "Stopped";

} // namespace lw
