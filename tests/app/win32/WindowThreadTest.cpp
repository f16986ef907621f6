#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/win32/Win32Thread.h"

namespace lw::win32 {
namespace {

// A message-only window that runs the thread's calls, as the program's window does.
class TMessageWindow {
public:
    TMessageWindow()
    {
        m_hwnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Thread));
        SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
        Thread.SetWindow(m_hwnd);
    }
    ~TMessageWindow() { DestroyWindow(m_hwnd); }
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, m_hwnd, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    TWin32WindowThread Thread;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == TWin32WindowThread::kRunMessage) {
            reinterpret_cast<TWin32WindowThread*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))->RunMessage(lParam);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
};

TEST(Win32WindowThread, CallsFromAnotherThreadRunInOrderOnPump)
{
    TMessageWindow window;
    std::vector<int> ran;
    std::thread job([&] {
        for (int i = 0; i < 3; ++i)
            window.Thread.Post([&ran, i] { ran.push_back(i); });
    });
    job.join();
    EXPECT_TRUE(ran.empty()); // nothing runs on the posting thread
    window.Pump();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
}

TEST(Win32WindowThread, CallsAfterTheWindowWentAreDropped)
{
    TMessageWindow window;
    int ran = 0;
    window.Thread.Post([&] { ++ran; });
    window.Thread.DropPending();
    window.Thread.Post([&] { ++ran; });
    window.Pump();
    EXPECT_EQ(ran, 0);
}

} // namespace
} // namespace lw::win32
