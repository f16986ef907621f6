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

void TWin32WindowThread::RunMessage(LPARAM call)
{
    std::unique_ptr<std::function<void()>> owned(reinterpret_cast<std::function<void()>*>(call));
    Run(std::move(*owned));
}

void TWin32WindowThread::DropPending()
{
    const HWND window = m_window.exchange(nullptr);
    MSG msg;
    while (window && PeekMessageA(&msg, window, kRunMessage, kRunMessage, PM_REMOVE))
        delete reinterpret_cast<std::function<void()>*>(msg.lParam);
    DropWaiting();
}

} // namespace lw::win32
