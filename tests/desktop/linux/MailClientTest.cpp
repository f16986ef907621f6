#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/wait.h>

#include "HandOffStubs.h"
#include "TestUtil.h"
#include "desktop/MailClient.h"

using namespace lw;
using namespace std::chrono_literals;
using namespace lwtest;

namespace {

// A stand-in xdg-email in its own folder: logs argv (NUL-separated), where stdin and
// stdout point, its pid and each call; exits with the code in "rc"; while "hold" exists
// it waits for "release".
class FakeMailer {
public:
    FakeMailer() : m_path(m_bin.Path())
    {
        Install();
        SetExitCode(0);
    }
    void Install()
    {
        WriteScript(m_bin / "xdg-email",
                    "d='" + m_log.Path() +
                        "'\n"
                        "printf '%s\\0' \"$@\" > \"$d/argv\"\n"
                        "i=$(/bin/readlink /proc/$$/fd/0); o=$(/bin/readlink /proc/$$/fd/1)\n"
                        "echo \"$i\" > \"$d/stdin\"; echo \"$o\" > \"$d/stdout\"\n"
                        "echo $$ > \"$d/pid\"\n"
                        "echo x >> \"$d/calls\"\n"
                        "while [ -e \"$d/hold\" ] && [ ! -e \"$d/release\" ]; do /bin/sleep 0.02; done\n"
                        "exit $(/bin/cat \"$d/rc\")\n");
    }
    void Remove() { std::filesystem::remove(m_bin / "xdg-email"); }
    void SetExitCode(int rc) { WriteFile(m_log / "rc", Bytes{static_cast<uint8_t>('0' + rc)}); }
    void Hold() { WriteFile(m_log / "hold", {}); }
    void Release() { WriteFile(m_log / "release", {}); }
    std::vector<std::string> Argv() const { return SplitNul(ReadText(m_log / "argv")); }
    std::string Log(const std::string& name) const { return ReadText(m_log / name); }
    int Calls() const
    {
        const std::string calls = Log("calls");
        return static_cast<int>(std::count(calls.begin(), calls.end(), '\n'));
    }
    int Pid() const { return std::stoi(Log("pid")); }

private:
    TempDir m_bin, m_log;
    PathOverride m_path;
};

int g_pumps = 0;
void CountPump()
{
    ++g_pumps;
}

} // namespace

TEST(MailClient, ExitCodeDecides)
{
    FakeMailer mailer;
    TMailClient client;
    // xdg-email's own codes: 1 syntax, 2 file missing, 3 no tool, 4 failed, 5 no permission.
    const struct {
        int rc;
        const char* failure; // empty: sent
    } cases[] = {{0, ""},
                 {1, "xdg-email ended with status 1"},
                 {2, "xdg-email did not find the file"},
                 {3, "no mail program is set up for mailto: links"},
                 {4, "the mail program did not take the file"},
                 {5, "xdg-email may not read the file"},
                 {0, ""}};
    int calls = 0;
    for (const auto& c : cases) {
        mailer.SetExitCode(c.rc);
        EXPECT_EQ(client.Send("/tmp/out.fe2", nullptr), !*c.failure) << "rc " << c.rc;
        EXPECT_EQ(client.Failure(), c.failure);
        EXPECT_EQ(mailer.Calls(), ++calls);
    }
}

TEST(MailClient, PassesThePathAsOneArgument)
{
    FakeMailer mailer;
    TMailClient client;
    for (const std::string path :
         {"/tmp/a;b.fe2", "/tmp/with space/x.fez", "/tmp/-dash\n\xFF.fe2", "/tmp/$(echo no)"}) {
        ASSERT_TRUE(client.Send(path, nullptr));
        EXPECT_EQ(mailer.Argv(), (std::vector<std::string>{"--attach", path}));
    }
    EXPECT_EQ(mailer.Log("stdin"), "/dev/null\n");
    EXPECT_EQ(mailer.Log("stdout"), "/dev/null\n");
}

TEST(MailClient, MissingProgramFailsEverySendOfTheRun)
{
    FakeMailer mailer;
    mailer.Remove();
    TMailClient client;
    EXPECT_FALSE(client.Send("/tmp/x.fe2", nullptr));
    EXPECT_EQ(client.Failure(), "xdg-email, which hands files to the mail program, is not installed");
    // Looked for once: a program that appears later is not picked up by this client.
    mailer.Install();
    EXPECT_FALSE(client.Send("/tmp/x.fe2", nullptr));
    EXPECT_FALSE(client.Send("/tmp/x.fe2", nullptr));
    EXPECT_EQ(mailer.Calls(), 0);
    TMailClient fresh;
    EXPECT_TRUE(fresh.Send("/tmp/x.fe2", nullptr));
    EXPECT_EQ(mailer.Calls(), 1);
}

TEST(MailClient, ProgramFoundOnceIsKept)
{
    FakeMailer mailer;
    TMailClient client;
    ASSERT_TRUE(client.Send("/tmp/x.fe2", nullptr));
    mailer.Remove();
    // The search is not repeated: the remembered program is gone, so the send fails.
    EXPECT_FALSE(client.Send("/tmp/x.fe2", nullptr));
    EXPECT_EQ(mailer.Calls(), 1);
}

TEST(MailClient, SlowClientCountsAsSentAndIsLeftRunning)
{
    FakeMailer mailer;
    mailer.Hold();
    auto client = std::make_unique<TMailClient>(300ms);
    g_pumps = 0;
    EXPECT_TRUE(client->Send("/tmp/x.fe2", CountPump));
    EXPECT_GT(g_pumps, 0);
    ASSERT_TRUE(WaitUntil([&] { return !mailer.Log("pid").empty(); }));
    const int pid = mailer.Pid();
    // Still running after the send returned: nothing killed it.
    EXPECT_NE(ProcessState(pid), 0);
    EXPECT_NE(ProcessState(pid), 'Z');

    // Once it ends, the client reaps it, so it does not stay a zombie.
    mailer.Release();
    ASSERT_TRUE(WaitUntil([&] { return ProcessState(pid) == 'Z'; }));
    client.reset();
    EXPECT_EQ(ProcessState(pid), 0);
}

TEST(MailClient, IgnoredChildSignalDoesNotHideTheStatus)
{
    FakeMailer mailer;
    mailer.SetExitCode(3);
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &old);
    TMailClient client;
    const bool sent = client.Send("/tmp/x.fe2", nullptr);
    sigaction(SIGCHLD, &old, nullptr);
    EXPECT_FALSE(sent);
}
