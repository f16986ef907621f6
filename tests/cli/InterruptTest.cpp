// lockwell-cli interrupted in the middle of a large decrypt: whether the working file
// has no name (the default where the file system allows) or is the named fallback
// (the tool's test build), no plaintext stays behind once the signal has ended the
// process, and a stale working file of an earlier crash is never touched or taken.
// "In the middle" is made sure of, not hoped for: the test waits until the process holds
// its working file with data in it, stops it, checks it still does, and only then sends
// the signal and lets it go on.
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CliProcess.h"
#include "TestUtil.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

constexpr size_t kMiB = 1 << 20;
constexpr size_t kSourceMiB = 48;
constexpr int64_t kMidJob = 2 * kMiB; // written before the signal may come
constexpr int kAttempts = 20;         // to catch a typed-phrase run in the middle
const char* kStale = ".lockwell-0123456789ab.tmp";

// The file the process holds open in folder, other than those named in `known`, with
// its size: its working file.
std::optional<std::pair<std::string, int64_t>> WorkingFile(pid_t pid, const std::string& folder,
                                                           const std::vector<std::string>& known)
{
    for (const auto& [target, size] : OpenFilesIn(pid, folder))
        if (std::find(known.begin(), known.end(), target) == known.end())
            return std::pair{target, size};
    return std::nullopt;
}

struct Fixture {
    TempDir config{MemoryTempRoot()};
    Bytes plain = Repeated(RandomBytes(kMiB, 41), kSourceMiB);
    Bytes encrypted;

    Fixture()
    {
        WriteFile(config / "phrase", {'s', 't', 'o', 'p', '\n'});
        TempDir make(MemoryTempRoot());
        WriteFile(make / "data", plain);
        const CliResult r =
            RunCli({"encrypt", "--cipher", "rc4", "--phrase-file", config / "phrase", make / "data"}, config.Path());
        EXPECT_EQ(r.status, 0) << r.err;
        encrypted = ReadFile(make / "data.fe2");
    }
    std::vector<std::string> DecryptArgs(const std::string& source) const
    {
        // Random data decrypts to what looks like noise: kept all the same.
        return {"decrypt", "--keep-doubtful", "--cipher", "rc4", "--phrase-file", config / "phrase", source};
    }
};

// Signals a decrypt in folder once it is surely in the middle; false when every attempt
// found the job already past its working file. Leaves the folder as the run left it.
bool InterruptMidJob(const Fixture& f, const std::string& folder, int signal, bool named)
{
    const std::string source = folder + "/data.fe2";
    const std::string stale = folder + "/" + kStale;
    const auto held = [&](pid_t pid) { return WorkingFile(pid, folder, {source, stale}); };
    // Frozen with data written, and not yet past the commit.
    const pid_t pid = StopARunMidJob(
        [&] {
            WriteFile(source, f.encrypted);
            fsys::remove(folder + "/data");
            return StartCli(f.DecryptArgs(source), f.config.Path(), TCliStart().Named(named).CoreDumps());
        },
        [&](pid_t p) { return held(p) && held(p)->second >= kMidJob; },
        [&](pid_t p) { return held(p) && !fsys::exists(folder + "/data"); });
    if (pid < 0)
        return false;
    const std::string target = held(pid)->first;
    const auto names = Listing(folder);
    if (named) {
        EXPECT_EQ(names.size(), 3u) << "no named working file";
        EXPECT_EQ(fsys::path(target).filename().string().rfind(".lockwell-", 0), 0u) << target;
    } else {
        // The working file is in the folder's file system yet under no name.
        EXPECT_EQ(names, (std::vector<std::string>{kStale, "data.fe2"}));
        EXPECT_NE(target.find(" (deleted)"), std::string::npos) << target;
    }
    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    const int status = WaitStatus(pid);
    // A first SIGINT only asks the job to stop: it cleans up and ends by itself.
    if (signal == SIGINT)
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    else
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    EXPECT_FALSE(WIFSIGNALED(status) && WCOREDUMP(status)) << "a core dump holds the phrase and plaintext";
    return true;
}

std::string Where(int repeat)
{
    return repeat % 2 ? fsys::temp_directory_path().string() : MemoryTempRoot();
}

} // namespace

TEST(Interrupt, NoWorkingFileOutlivesASignalMidJob)
{
    struct Row {
        int signal;
        bool named;
        int runs = 3;
    };
    // The named working file is where a signal could leave plaintext: every ending
    // signal that can be caught, SIGQUIT (which would dump core) among them.
    const Row rows[] = {{SIGINT, false},      {SIGTERM, false},   {SIGHUP, false},    {SIGKILL, false},
                        {SIGINT, true},       {SIGTERM, true},    {SIGHUP, true},     {SIGQUIT, true, 1},
                        {SIGPIPE, true, 1},   {SIGUSR1, true, 1}, {SIGUSR2, true, 1}, {SIGALRM, true, 1},
                        {SIGVTALRM, true, 1}, {SIGPROF, true, 1}};
    Fixture f;
    ASSERT_EQ(f.encrypted.size(), f.plain.size());
    const Bytes staleBytes = RandomBytes(3000, 5);
    for (const Row& row : rows)
        for (int repeat = 0; repeat < row.runs; ++repeat) {
            SCOPED_TRACE(std::string(strsignal(row.signal)) + (row.named ? ", named" : ", unnamed") + " in " +
                         Where(repeat) + ", run " + std::to_string(repeat));
            TempDir dir(Where(repeat));
            WriteFile(dir / kStale, staleBytes);
            ASSERT_TRUE(InterruptMidJob(f, dir.Path(), row.signal, row.named)) << "never caught in the middle";
            EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{kStale, "data.fe2"}));
            EXPECT_EQ(ReadFile(dir / "data.fe2"), f.encrypted);
            EXPECT_EQ(ReadFile(dir / kStale), staleBytes);
            if (HasFailure())
                return;
        }
}

TEST(Interrupt, AStaleWorkingFileIsNeitherTouchedNorTaken)
{
    Fixture f;
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        TempDir dir(MemoryTempRoot());
        const Bytes staleBytes = RandomBytes(kMiB, 6);
        WriteFile(dir / kStale, staleBytes);
        WriteFile(dir / "data.fe2", f.encrypted);
        const int status = WaitStatus(
            StartCli(f.DecryptArgs(dir / "data.fe2"), f.config.Path(), TCliStart().Named(named).CoreDumps()));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{kStale, "data", "data.fe2"}));
        EXPECT_TRUE(ReadFile(dir / "data") == f.plain);
        EXPECT_EQ(ReadFile(dir / kStale), staleBytes);
    }
}

// The phrase typed at a terminal with the echo off: the terminal's own signal handling
// must leave the cleanup in place for the job that follows. SIGTERM, since a SIGINT
// during the job only asks it to stop.
TEST(Interrupt, ATypedPhraseKeepsTheCleanup)
{
    const std::string script = R"(
import os, pty, signal, sys, time
cli, config, source, folder, stale = sys.argv[1:6]
os.environ["XDG_CONFIG_HOME"] = config
pid, fd = pty.fork()
if pid == 0:
    os.execv(cli, [cli, "decrypt", "--cipher", "rc4", source])
seen = b""
while b"Key phrase: " not in seen:
    seen += os.read(fd, 4096)
os.write(fd, b"stop\n")
outcome = "missed"
deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    temps = [n for n in os.listdir(folder) if n.startswith(".lockwell-") and n != stale]
    if temps:
        os.kill(pid, signal.SIGSTOP)
        os.waitpid(pid, os.WUNTRACED)
        if all(os.path.exists(os.path.join(folder, t)) for t in temps):
            os.kill(pid, signal.SIGTERM)
            outcome = "interrupted"
        os.kill(pid, signal.SIGCONT)
        break
    if os.waitpid(pid, os.WNOHANG)[0] == pid:
        pid = 0
        break
    time.sleep(0.0002)
while pid:
    try:
        if not os.read(fd, 4096):
            break
    except OSError:
        break
status = os.waitpid(pid, 0)[1] if pid else 0
print(outcome, os.WTERMSIG(status) if os.WIFSIGNALED(status) else -1)
)";
    Fixture f;
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, kAttempts) << "never caught in the middle";
        TempDir dir(MemoryTempRoot());
        WriteFile(dir / kStale, {'s'});
        WriteFile(dir / "data.fe2", f.encrypted);
        const Bytes out = RunProgram(
            {LOCKWELL_PYTHON, "-c", script, LOCKWELL_CLI_NAMED, f.config.Path(), dir / "data.fe2", dir.Path(), kStale});
        const std::string text(out.begin(), out.end());
        if (text.rfind("missed", 0) == 0)
            continue;
        EXPECT_EQ(text, "interrupted " + std::to_string(SIGTERM) + "\n");
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{kStale, "data.fe2"}));
        break;
    }
}
