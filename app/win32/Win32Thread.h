#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <vector>

#include "app/window/JobWorker.h"

namespace lw::win32 {

// The window's thread for a job beside it: a call travels as a private message to the
// window and runs in its window procedure. A call posted once the window is gone is
// dropped. While held (a question of the window's own is open), calls wait, in order.
class TWin32WindowThread final : public IHoldableWindowThread {
public:
    static constexpr UINT kRunMessage = WM_APP + 1;

    void SetWindow(HWND window) { m_window = window; }
    void Post(std::function<void()> call) override;
    // Window's thread only.
    void Hold() override { m_held = true; }
    void Release() override;
    // The window procedure's part, for kRunMessage: lParam carries the call.
    void Run(LPARAM call);
    // The window's calls still queued when it goes, dropped unrun.
    void DropPending();

private:
    std::atomic<HWND> m_window = nullptr; // set and cleared on the window's thread, read by jobs
    bool m_held = false;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace lw::win32
