#pragma once
#include <windows.h>

#include <atomic>
#include <functional>

#include "app/core/WindowThread.h"

namespace lw::win32 {

// The window's thread for a job beside it: a call travels as a private message to the
// window and runs in its window procedure. A call posted once the window is gone is
// dropped.
class TWin32WindowThread final : public THoldableWindowThread {
public:
    static constexpr UINT kRunMessage = WM_APP + 1;

    void SetWindow(HWND window) { m_window = window; }
    void Post(std::function<void()> call) override;
    // The window procedure's part, for kRunMessage: lParam carries the call.
    void RunMessage(LPARAM call);
    // The window's calls still queued when it goes, dropped unrun.
    void DropPending();

private:
    std::atomic<HWND> m_window = nullptr; // set and cleared on the window's thread, read by jobs
};

} // namespace lw::win32
