#include "desktop/MailClient.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "desktop/linux/FindProgram.h"

extern char** environ;

namespace lw {
namespace {

constexpr std::chrono::milliseconds kPollInterval{10};

// An inherited "ignore SIGCHLD" would reap the child behind our back and hide its status.
void KeepChildStatus()
{
    struct sigaction current {};
    if (sigaction(SIGCHLD, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
        struct sigaction def {};
        def.sa_handler = SIG_DFL;
        sigemptyset(&def.sa_mask);
        sigaction(SIGCHLD, &def, nullptr);
    }
}

// argv as given, no shell; stdin and stdout on /dev/null. Returns the pid, or -1.
pid_t SpawnQuiet(const std::string& program, std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

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
