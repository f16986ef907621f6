#pragma once
#include <csignal>
#include <string>

// Named temporary files that must not outlive the process when it is interrupted:
// a handler for every signal that ends a process and can be caught removes every
// registered path, then lets the signal end the process as it would have. On Windows a
// console control handler does the same for Ctrl+C, Ctrl+Break and closing the console.
namespace lw {

#ifndef _WIN32
// The signals whose default action ends the process and that a handler can catch, but
// SIGXFSZ (ignored, so that the write fails with a reason) and the faults a handler
// cannot return from.
inline constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE,
                                         SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};
#endif

// Installs the handlers once per process. A signal the process was started ignoring
// (nohup, a background shell job) stays ignored; SIGXFSZ is ignored from then on.
void InstallTempFileCleanup();

// Keeps one path registered for removal while it lives. A path longer than a slot, or
// one beyond the last free slot, is not registered (Registered() says so).
class TTempFileRegistration {
public:
    explicit TTempFileRegistration(const std::string& path);
    ~TTempFileRegistration();
    TTempFileRegistration(const TTempFileRegistration&) = delete;
    TTempFileRegistration& operator=(const TTempFileRegistration&) = delete;

    bool Registered() const { return m_slot >= 0; }

private:
    int m_slot = -1;
};

// Holds the cleanup signals back in this thread while it lives, so that creating or
// renaming a file and (un)registering its name happen as one step for the handler.
class TCleanupSignalsHeld {
public:
    TCleanupSignalsHeld();
    ~TCleanupSignalsHeld();
    TCleanupSignalsHeld(const TCleanupSignalsHeld&) = delete;
    TCleanupSignalsHeld& operator=(const TCleanupSignalsHeld&) = delete;

private:
#ifndef _WIN32
    sigset_t m_previous;
#endif
};

// While it lives, a first SIGINT does not end the process: it only raises a flag that a
// running job polls to stop by itself (cleaning up as a failed job does); a second one
// ends the process through the cleanup above, as before. A SIGINT the process was started
// ignoring stays ignored. One at a time per process.
class TInterruptAsStop {
public:
    TInterruptAsStop();
    ~TInterruptAsStop();
    TInterruptAsStop(const TInterruptAsStop&) = delete;
    TInterruptAsStop& operator=(const TInterruptAsStop&) = delete;

    // True once a SIGINT came while one lived.
    static bool Requested();

private:
#ifndef _WIN32
    struct sigaction m_previous {};
#endif
    bool m_installed = false;
};

} // namespace lw
