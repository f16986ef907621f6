#include "desktop/MailClient.h"

#include <algorithm>
#include <cerrno>
#include <sys/wait.h>
#include <thread>

#include "desktop/linux/Programs.h"

namespace lw {
namespace {

constexpr std::chrono::milliseconds kPollInterval{10};

} // namespace

TMailClient::TMailClient(std::chrono::milliseconds wait) : m_wait(wait)
{}

TMailClient::~TMailClient()
{
    // Whatever still runs is inherited by the system when we end.
    ReapFinished();
}

bool TMailClient::Send(const std::string& path, const std::function<void()>& pumpEvents)
{
    ReapFinished();
    if (!m_searched) {
        m_searched = true;
        m_program = FindProgramOnPath("xdg-email");
    }
    if (m_program.empty())
        return false;

    KeepChildStatus();
    const pid_t pid = SpawnQuiet(m_program, {m_program, "--attach", path});
    if (pid < 0)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + m_wait;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_running.push_back(pid);
            return true;
        }
        if (pumpEvents)
            pumpEvents();
        std::this_thread::sleep_for(kPollInterval);
    }
}

void TMailClient::ReapFinished()
{
    std::erase_if(m_running, [](pid_t pid) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        return done == pid || (done < 0 && errno == ECHILD);
    });
}

} // namespace lw
