#include "app/win32/Win32Thread.h"

#include <memory>
#include <utility>

namespace lw::win32 {

void TWin32WindowThread::Post(std::function<void()> call)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(call));
    const HWND window = m_window;
    if (window && PostMessageA(window, kRunMessage, 0, reinterpret_cast<LPARAM>(owned.get())))
        owned.release(); // the message owns it now
}

void TWin32WindowThread::Release()
{
    m_held = false;
    for (auto& call : std::exchange(m_waiting, {}))
        Post(std::move(call));
}

// Held or not is looked at when the call comes up, so calls queued before the hold wait too.
void TWin32WindowThread::Run(LPARAM call)
{
    std::unique_ptr<std::function<void()>> owned(reinterpret_cast<std::function<void()>*>(call));
    if (m_held)
        m_waiting.push_back(std::move(*owned));
    else
        (*owned)();
}

void TWin32WindowThread::DropPending()
{
    const HWND window = m_window.exchange(nullptr);
    MSG msg;
    while (window && PeekMessageA(&msg, window, kRunMessage, kRunMessage, PM_REMOVE))
        delete reinterpret_cast<std::function<void()>*>(msg.lParam);
    m_waiting.clear();
}

} // namespace lw::win32
