// The clipboard outliving the window, against a real X server (Xvfb) and xclip.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "HandOffStubs.h"
#include "TestUtil.h"
#include "desktop/FileDrop.h"

extern char** environ;

using namespace lwtest;

namespace {

const char* kXvfb = "/usr/bin/Xvfb";
const char* kXclip = "/usr/bin/xclip";

struct Child {
    pid_t pid = -1;
    int out = -1; // read end of its stdout, or -1
};

// argv with extra environment entries; stdin from stdinPath, stdout to a pipe (or to
// descriptor outFd in the child when given), stderr discarded.
Child Spawn(std::vector<std::string> args, const std::vector<std::string>& extraEnv,
            const std::string& stdinPath = "/dev/null", int outFd = 1)
{
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e); // earlier entries win
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], outFd);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// One line from the child's output, without the line feed; empty on timeout or end.
std::string ReadLine(int fd, int timeoutMs = 10000)
{
    std::string line;
    char c;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0 || read(fd, &c, 1) != 1 || c == '\n')
            return line;
        line += c;
    }
}

// The exit status once it ends within the limit, or -1 (the process is then still running).
int WaitExit(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    int status = 0;
    if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit))
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Whether the process has installed its own handler for sig (SigCgt in /proc).
bool Catches(pid_t pid, int sig)
{
    const std::string status = ReadText("/proc/" + std::to_string(pid) + "/status");
    const auto at = status.find("SigCgt:");
    if (at == std::string::npos)
        return false;
    const unsigned long long mask = std::stoull(status.substr(at + 7), nullptr, 16);
    return (mask >> (sig - 1)) & 1;
}

void Stop(Child& child)
{
    if (child.pid > 0 && waitpid(child.pid, nullptr, WNOHANG) == 0) {
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0)
        close(child.out);
    child = {};
}

class ClipboardLinger : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (access(kXvfb, X_OK) != 0 || access(kXclip, X_OK) != 0)
            return;
        // Xvfb picks a free display and writes its number to descriptor 3.
        s_server =
            Spawn({kXvfb, "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24"}, {}, "/dev/null", 3);
        const std::string number = ReadLine(s_server.out);
        if (!number.empty())
            s_display = ":" + number;
    }
    static void TearDownTestSuite() { Stop(s_server); }

    void SetUp() override
    {
        if (s_display.empty())
            GTEST_SKIP() << "needs " << kXvfb << " and " << kXclip;
    }
    void TearDown() override
    {
        for (auto& c : m_children)
            Stop(c);
    }

    Child& Start(const std::vector<std::string>& args, std::vector<std::string> env = {},
                 const std::string& stdinPath = "/dev/null")
    {
        env.push_back("DISPLAY=" + s_display);
        env.push_back("QT_QPA_PLATFORM=xcb");
        m_children.push_back(Spawn(args, env, stdinPath));
        return m_children.back();
    }
    Child& StartHolder(const std::string& path, const std::string& lingerMs = "0")
    {
        return Start({LOCKWELL_CLIPBOARD_HOLDER, path, lingerMs});
    }

    // Reads one target of the clipboard through xclip, as a pasting program would.
    std::string Paste(const std::string& target)
    {
        Child& xclip = Start({kXclip, "-selection", "clipboard", "-o", "-t", target});
        std::string out;
        char buffer[4096];
        pollfd p{xclip.out, POLLIN, 0};
        while (poll(&p, 1, 10000) > 0) {
            const ssize_t n = read(xclip.out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, static_cast<size_t>(n));
        }
        EXPECT_EQ(WaitExit(xclip.pid), 0) << target;
        return out;
    }

    static inline Child s_server;
    static inline std::string s_display;
    std::deque<Child> m_children; // references stay valid as it grows
};

const std::string kPath = "/tmp/lw dir/my file \xC3\xA9.fe2";
const std::string kUrl = "file:///tmp/lw%20dir/my%20file%20%C3%A9.fe2";

} // namespace

TEST_F(ClipboardLinger, ServesEveryFormatUntilAnotherProgramTakesIt)
{
    Child& holder = StartHolder(kPath);
    ASSERT_EQ(ReadLine(holder.out), "held");

    const std::string targets = Paste("TARGETS");
    for (const char* t : {"text/uri-list", "x-special/gnome-copied-files", "x-special/mate-copied-files", "text/plain",
                          "application/x-lockwell-file-drop"})
        EXPECT_NE(targets.find(t), std::string::npos) << t << " missing in " << targets;
    EXPECT_EQ(Paste("text/uri-list"), kUrl + "\r\n");
    EXPECT_EQ(Paste("x-special/gnome-copied-files"), "copy\n" + kUrl);
    EXPECT_EQ(Paste("x-special/mate-copied-files"), "copy\n" + kUrl);
    EXPECT_EQ(Paste("text/plain"), kPath);
    const auto block = lw::BuildFileDropBlock(kPath);
    EXPECT_EQ(Paste("application/x-lockwell-file-drop"), std::string(block.begin(), block.end()));

    // Still serving after all those requests.
    EXPECT_EQ(waitpid(holder.pid, nullptr, WNOHANG), 0);

    TempDir dir;
    WriteFile(dir / "other", {'h', 'i'});
    Start({kXclip, "-quiet", "-selection", "clipboard", "-i"}, {}, dir / "other");
    EXPECT_EQ(WaitExit(holder.pid), 0);
    EXPECT_EQ(ReadLine(holder.out), "ended");
    EXPECT_EQ(Paste("UTF8_STRING"), "hi");
}

TEST_F(ClipboardLinger, SecondCopyEndsTheFirstHolder)
{
    Child& first = StartHolder("/tmp/first.fe2");
    ASSERT_EQ(ReadLine(first.out), "held");
    Child& second = StartHolder("/tmp/second.fe2");
    ASSERT_EQ(ReadLine(second.out), "held");
    EXPECT_EQ(WaitExit(first.pid), 0);
    EXPECT_EQ(waitpid(second.pid, nullptr, WNOHANG), 0);
    EXPECT_EQ(Paste("text/plain"), "/tmp/second.fe2");
}

TEST_F(ClipboardLinger, SessionEndSignalsEndItCleanly)
{
    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        Child& holder = StartHolder("/tmp/x.fe2");
        ASSERT_EQ(ReadLine(holder.out), "held");
        ASSERT_TRUE(WaitUntil([&] { return Catches(holder.pid, sig); }));
        kill(holder.pid, sig);
        // A normal return from main, not death by the signal.
        EXPECT_EQ(WaitExit(holder.pid), 0);
        EXPECT_EQ(ReadLine(holder.out), "ended");
    }
}

TEST_F(ClipboardLinger, TestTimeoutEndsIt)
{
    Child& holder = StartHolder("/tmp/x.fe2", "200");
    ASSERT_EQ(ReadLine(holder.out), "held");
    EXPECT_EQ(WaitExit(holder.pid), 0);
}

TEST_F(ClipboardLinger, NothingCopiedNothingToWaitFor)
{
    Child& holder = StartHolder("");
    EXPECT_EQ(ReadLine(holder.out), "free");
    EXPECT_EQ(WaitExit(holder.pid), 0);
    EXPECT_EQ(ReadLine(holder.out), "ended");
}

TEST(ClipboardUnreachable, NoApplicationMeansNoClipboard)
{
    const auto out = RunProgram({LOCKWELL_CLIPBOARD_HOLDER, "--no-app"});
    EXPECT_EQ(std::string(out.begin(), out.end()), "error Cannot open clipboard\n");
}
