#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lw {

// Hands a file to the desktop's mail client through xdg-email. The program is looked
// for once per object, on the first send; if it was missing then, every send fails.
class TMailClient {
public:
    static constexpr std::chrono::milliseconds kDefaultWait{10000};

    explicit TMailClient(std::chrono::milliseconds wait = kDefaultWait);
    ~TMailClient();
    TMailClient(const TMailClient&) = delete;
    TMailClient& operator=(const TMailClient&) = delete;

    // Runs `xdg-email --attach path`; true when it exits 0. A mail client that starts in
    // its place can keep it running: after the wait the send counts as made and the
    // process is left alone. pumpEvents runs while waiting.
    bool Send(const std::string& path, const std::function<void()>& pumpEvents);

private:
    void ReapFinished();

    std::chrono::milliseconds m_wait;
    bool m_searched = false;
    std::string m_program;
    std::vector<pid_t> m_running;
};

} // namespace lw
