#include "platform/TempFileCleanup.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace lw {
namespace {

enum TSlotState : int {
    kFree,
    kFilling, // being written by its owner; the handler skips it
    kReady,
    kClaimed, // taken by the handler, never given back: the process is ending
};

struct TSlot {
    std::atomic<int> state{kFree};
    std::array<char, PATH_MAX> path{};
};

// Global by necessity: a signal handler reaches nothing else. Fixed slots and lock-free
// flags, because the handler may neither allocate nor wait for a lock.
constexpr size_t kSlots = 16;
std::array<TSlot, kSlots> g_slots;
static_assert(std::atomic<int>::is_always_lock_free);

void RemoveAndReraise(int signal)
{
    const int savedErrno = errno;
    for (TSlot& slot : g_slots) {
        int expected = kReady;
        if (slot.state.compare_exchange_strong(expected, kClaimed))
            ::unlink(slot.path.data());
    }
    errno = savedErrno;
    // The default action ends the process by this very signal, as the caller expects.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
}

// SIGINTs seen while a TInterruptAsStop lives; global for the handler, like the slots.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

void StopOrEnd(int signal)
{
    if (g_interrupts.fetch_add(1) == 0)
        return; // the job sees the flag at its next piece
    RemoveAndReraise(signal);
}

sigset_t CleanupSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kEndingSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

void InstallTempFileCleanup()
{
    // A file-size limit makes the write fail with a reason instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    for (int signal : kEndingSignals) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = &RemoveAndReraise;
        action.sa_mask = CleanupSignals(); // one cleanup at a time
        ::sigaction(signal, &action, nullptr);
    }
}

TTempFileRegistration::TTempFileRegistration(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return;
    for (size_t i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(g_slots[i].path.data(), path.c_str(), path.size() + 1);
        g_slots[i].state.store(kReady);
        m_slot = static_cast<int>(i);
        return;
    }
}

TTempFileRegistration::~TTempFileRegistration()
{
    if (m_slot < 0)
        return;
    // Fails only when the handler has claimed the slot: then it stays claimed.
    int expected = kReady;
    g_slots[static_cast<size_t>(m_slot)].state.compare_exchange_strong(expected, kFree);
}

TCleanupSignalsHeld::TCleanupSignalsHeld()
{
    const sigset_t held = CleanupSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, &m_previous);
}

TCleanupSignalsHeld::~TCleanupSignalsHeld()
{
    ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

TInterruptAsStop::TInterruptAsStop()
{
    g_interrupts.store(0);
    if (::sigaction(SIGINT, nullptr, &m_previous) != 0 || m_previous.sa_handler == SIG_IGN)
        return;
    struct sigaction action {};
    action.sa_handler = &StopOrEnd;
    action.sa_mask = CleanupSignals();
    // The first one must not break a read or write of the job in progress.
    action.sa_flags = SA_RESTART;
    m_installed = ::sigaction(SIGINT, &action, nullptr) == 0;
}

TInterruptAsStop::~TInterruptAsStop()
{
    if (m_installed)
        ::sigaction(SIGINT, &m_previous, nullptr);
}

bool TInterruptAsStop::Requested()
{
    return g_interrupts.load() > 0;
}

} // namespace lw
