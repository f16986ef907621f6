#include "desktop/MailClient.h"

#include <algorithm>
#include <cerrno>
#include <sys/wait.h>
#include <thread>

#include "desktop/linux/Programs.h"

namespace lw {
namespace {

// xdg-email's exit codes in words; empty when it handed the file on.
std::string ExitReason(int status)
{
    if (!WIFEXITED(status))
        return "xdg-email ended abnormally";
    switch (WEXITSTATUS(status)) {
    case 0: return {};
    case 2: return "xdg-email did not find the file";
    case 3: return "no mail program is set up for mailto: links";
    case 4: return "the mail program did not take the file";
    case 5: return "xdg-email may not read the file";
    default: return "xdg-email ended with status " + std::to_string(WEXITSTATUS(status));
    }
}

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
    m_failure.clear();
    if (m_program.empty()) {
        m_failure = "xdg-email, which hands files to the mail program, is not installed";
        return false;
    }

    KeepChildStatus();
    const pid_t pid = SpawnQuiet(m_program, {m_program, "--attach", path});
    if (pid < 0) {
        m_failure = "xdg-email could not be started";
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + m_wait;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            m_failure = ExitReason(status);
            return m_failure.empty();
        }
        if (done < 0 && errno != EINTR) {
            m_failure = "xdg-email was lost before it ended";
            return false;
        }
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
