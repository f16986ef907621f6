// A first SIGINT turned into a stop request, a second one ending the process through the
// temporary-file cleanup, each in a real child process with a real registered file.
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/TempFileCleanup.h"

using namespace lwtest;

namespace {

enum class Start { Handled, Ignored };

// Exit codes the child uses to say where it went wrong.
constexpr int kNotRequested = 3, kFileGone = 4, kSurvived = 5, kRequested = 6, kStillIgnored = 7;

// In the child: the cleanup, a registered file, then SIGINTs while a stopper lives and
// after it is gone.
[[noreturn]] void Child(const std::string& path, Start start, int whileLiving, int afterwards)
{
    if (start == Start::Ignored)
        std::signal(SIGINT, SIG_IGN);
    lw::InstallTempFileCleanup();
    WriteFile(path, {'x'});
    lw::TTempFileRegistration registration(path);
    {
        lw::TInterruptAsStop stopper;
        for (int i = 0; i < whileLiving; ++i) {
            ::raise(SIGINT);
            if (start == Start::Ignored) {
                if (lw::TInterruptAsStop::Requested())
                    ::_exit(kRequested);
                continue;
            }
            if (!lw::TInterruptAsStop::Requested())
                ::_exit(kNotRequested);
            if (::access(path.c_str(), F_OK) != 0)
                ::_exit(kFileGone);
        }
    }
    for (int i = 0; i < afterwards; ++i)
        ::raise(SIGINT);
    ::_exit(start == Start::Ignored ? kStillIgnored : kSurvived);
}

} // namespace

TEST(InterruptAsStop, FirstAsksSecondEndsWithTheCleanup)
{
    struct Row {
        const char* name;
        Start start;
        int whileLiving;
        int afterwards;
        bool killed; // else it exits with kStillIgnored
    };
    const Row rows[] = {
        {"one SIGINT only asks; the one after the stopper ends it", Start::Handled, 1, 1, true},
        {"the second SIGINT ends it", Start::Handled, 2, 0, true},
        {"an ignored SIGINT stays ignored", Start::Ignored, 2, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir / "working.tmp";
        const pid_t pid = ::fork();
        if (pid == 0)
            Child(path, row.start, row.whileLiving, row.afterwards);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (row.killed) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT)
                << "exit " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
            EXPECT_NE(::access(path.c_str(), F_OK), 0) << "the cleanup did not run";
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kStillIgnored) << "status " << status;
            EXPECT_EQ(::access(path.c_str(), F_OK), 0);
        }
    }
}
