#include "desktop/Opener.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "desktop/linux/Programs.h"

extern char** environ;

namespace lw {
namespace {

// Runs in the grandchild: only async-signal-safe calls until exec.
[[noreturn]] void ExecOpener(const char* program, char* const* argv)
{
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) {
        dup2(devNull, 0);
        if (devNull != 0)
            close(devNull);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction def {};
    def.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &def, nullptr);
    execve(program, argv, environ);
    _exit(127);
}

} // namespace

bool OpenDetached(const std::string& path)
{
    std::vector<std::string> args;
    std::string program = FindProgramOnPath("xdg-open");
    if (!program.empty()) {
        args = {program, path};
    } else {
        program = FindProgramOnPath("gio");
        if (program.empty())
            return false;
        args = {program, "open", path};
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // Double fork: the middle process ends at once, the opener is inherited by the system.
    const pid_t middle = fork();
    if (middle < 0)
        return false;
    if (middle == 0) {
        setsid();
        const pid_t opener = fork();
        if (opener == 0)
            ExecOpener(program.c_str(), argv.data());
        _exit(opener < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace lw
