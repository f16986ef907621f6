#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <vector>
#ifdef _WIN32
#include <cstdint>
#else
#include <sys/types.h>
#endif

namespace lw {

// What either hand-off shows when the mail program did not take the file.
inline constexpr const char* kMailFailedText = "Failed to send to EMail client";

// Hands a file to the desktop's mail client: through xdg-email on Linux, through Simple
// MAPI's MAPISendDocuments on Windows. The mail system is looked for once per object, on
// the first send; if it was missing then, every send fails. The window keeps one object
// for the run.
class TMailClient {
public:
    static constexpr std::chrono::milliseconds kDefaultWait{10000};

    explicit TMailClient(std::chrono::milliseconds wait = kDefaultWait);
    ~TMailClient();
    TMailClient(const TMailClient&) = delete;
    TMailClient& operator=(const TMailClient&) = delete;

    // Linux: runs `xdg-email --attach path`; true when it exits 0. A mail client that
    // starts in its place can keep it running: after the wait the send counts as made and
    // the process is left alone. pumpEvents runs while waiting.
    // Windows: true when MAPISendDocuments returned 0; the call itself waits for the mail
    // client, and pumpEvents runs once afterwards. The wait is not used.
    bool Send(const std::string& path, const std::function<void()>& pumpEvents);
    // Why the last send failed, in words for the box's detail.
    const std::string& Failure() const
    {
        return m_failure;
    }

#ifdef _WIN32
    // The application window (an HWND) that parents the mail client's windows; null at first.
    void SetOwnerWindow(void* window)
    {
        m_owner = window;
    }
    // What MAPISendDocuments returned on the last send; 1 when it could not be called.
    uint32_t LastResult() const
    {
        return m_lastResult;
    }
#endif

private:
    std::string m_failure;
#ifdef _WIN32
    using TSendDocuments = uint32_t(__stdcall*)(uintptr_t, char*, char*, char*, uint32_t);

    bool m_searched = false;
    void* m_library = nullptr;
    TSendDocuments m_sendDocuments = nullptr;
    void* m_owner = nullptr;
    uint32_t m_lastResult = 0;
#else
    void ReapFinished();

    std::chrono::milliseconds m_wait;
    bool m_searched = false;
    std::string m_program;
    std::vector<pid_t> m_running;
#endif
};

} // namespace lw
