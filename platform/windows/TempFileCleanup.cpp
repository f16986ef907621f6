#include "platform/TempFileCleanup.h"
#include "platform/windows/Unicode.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <mutex>

namespace lw {
namespace {

// Global by necessity: the console control handler runs on a thread the system starts
// and reaches nothing else. A lock is enough here, unlike in a signal handler: the
// handler's thread may wait, and holding the lock is how the program keeps it back.
constexpr size_t kSlots = 16;
struct TCleanup {
    std::recursive_mutex lock;
    std::array<std::string, kSlots> paths;
    std::array<bool, kSlots> used{};
};
TCleanup& Cleanup()
{
    static TCleanup cleanup;
    return cleanup;
}

// Ctrl+C presses seen while a TInterruptAsStop lives, and whether one does.
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_stopLives{false};

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event == CTRL_C_EVENT && g_stopLives.load() && g_interrupts.fetch_add(1) == 0)
        return TRUE; // the job sees the flag at its next piece
    TCleanup& cleanup = Cleanup();
    // Never unlocked: the process is ending, and nothing may register meanwhile.
    cleanup.lock.lock();
    for (size_t i = 0; i < kSlots; ++i)
        if (cleanup.used[i])
            ::DeleteFileW(win::WidePath(cleanup.paths[i]).c_str());
    // Ended here, not by the system's handler: that one runs the program's exit code,
    // which can wait forever on a lock the interrupted thread holds, and under Wine it
    // ends with status 0, as if the job had succeeded.
    ::TerminateProcess(::GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return FALSE;
}

void InstallOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE); });
}

} // namespace

void InstallTempFileCleanup()
{
    InstallOnce();
}

TTempFileRegistration::TTempFileRegistration(const std::string& path)
{
    TCleanup& cleanup = Cleanup();
    std::lock_guard<std::recursive_mutex> held(cleanup.lock);
    for (size_t i = 0; i < kSlots; ++i) {
        if (cleanup.used[i])
            continue;
        cleanup.paths[i] = path;
        cleanup.used[i] = true;
        m_slot = static_cast<int>(i);
        return;
    }
}

TTempFileRegistration::~TTempFileRegistration()
{
    if (m_slot < 0)
        return;
    TCleanup& cleanup = Cleanup();
    std::lock_guard<std::recursive_mutex> held(cleanup.lock);
    cleanup.used[static_cast<size_t>(m_slot)] = false;
    cleanup.paths[static_cast<size_t>(m_slot)].clear();
}

TCleanupSignalsHeld::TCleanupSignalsHeld()
{
    Cleanup().lock.lock();
}

TCleanupSignalsHeld::~TCleanupSignalsHeld()
{
    Cleanup().lock.unlock();
}

TInterruptAsStop::TInterruptAsStop()
{
    g_interrupts.store(0);
    InstallOnce();
    g_stopLives.store(true);
    m_installed = true;
}

TInterruptAsStop::~TInterruptAsStop()
{
    if (m_installed)
        g_stopLives.store(false);
}

bool TInterruptAsStop::Requested()
{
    return g_interrupts.load() > 0;
}

} // namespace lw
