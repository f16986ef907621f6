// The tool's progress line: on a terminal it is drawn with carriage returns and gone
// before the result line; without a terminal or with --quiet there is none. An interrupt
// in the middle of a job stops it with status 1 and "Stopped", leaving nothing behind.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "CliRun.h"
#include "TestUtil.h"
#include "cli/ProgressLine.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

constexpr size_t kMiB = 1 << 20;

struct Folder {
    TempDir config{MemoryTempRoot()};
    TempDir dir{MemoryTempRoot()};
    Bytes plain;
    explicit Folder(size_t size) : plain(TextBytes(size, 5))
    {
        WriteFile(config / "phrase", {'p', 'w', '\n'});
        WriteFile(dir / "data", plain);
    }
    std::vector<std::string> Encrypt(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> args{"encrypt", "--cipher", "serpent", "--phrase-file", config / "phrase"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(dir / "data");
        return args;
    }
};

} // namespace

TEST(ProgressLine, DrawnOnATerminalAndClearedBeforeTheResult)
{
    struct Row {
        const char* name;
        std::vector<std::string> extra;
        const char* phase;
        const char* result;
    };
    const Row rows[] = {
        {"encrypt", {}, "Encrypting", "File encrypted"},
        {"compress", {"--compress"}, "Compressing", "File encrypted"},
        {"wipe the source", {"--delete-source", "--yes"}, "Wiping pass 1/7", "File encrypted"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Folder f(2 * kMiB);
        const CliResult r = RunCliOnTerminal(f.Encrypt(row.extra), f.config.Path(), {});
        ASSERT_EQ(r.status, 0) << r.out;
        const size_t result = r.out.find(row.result);
        ASSERT_NE(result, std::string::npos) << r.out;
        const size_t phase = r.out.find(row.phase);
        ASSERT_NE(phase, std::string::npos) << r.out;
        EXPECT_LT(phase, result);
        EXPECT_EQ(r.out.find('%', result), std::string::npos) << r.out;
        EXPECT_NE(r.out.find('\r'), std::string::npos);
        // Blanked and the cursor back at the start of the line before the result.
        const std::string before = r.out.substr(0, result);
        ASSERT_GE(before.size(), 3u);
        EXPECT_EQ(before.back(), '\r');
        EXPECT_EQ(before[before.size() - 2], ' ') << r.out;
    }
}

TEST(ProgressLine, NoneWithoutATerminalOrWithQuiet)
{
    Folder f(kMiB);
    const CliResult plain = RunCli(f.Encrypt(), f.config.Path());
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "File encrypted with Serpent\n");
    fsys::remove(f.dir / "data.fe2");
    const CliResult quiet = RunCliOnTerminal(f.Encrypt({"--quiet"}), f.config.Path(), {});
    EXPECT_EQ(quiet.status, 0) << quiet.out;
    EXPECT_EQ(quiet.out, "File encrypted with Serpent\r\n");
    const CliResult wipe = RunCliOnTerminal({"wipe", "--yes", "--quiet", f.dir / "data"}, f.config.Path(), {});
    EXPECT_EQ(wipe.status, 0) << wipe.out;
    EXPECT_EQ(wipe.out.find('%'), std::string::npos) << wipe.out;
}

TEST(ProgressLine, TextShowsWhereTheJobIs)
{
    using lw::TJobPhase;
    struct Row {
        TJobPhase phase;
        int pass;
        int64_t done, expected;
        double seconds;
        const char* text;
    };
    const Row rows[] = {
        {TJobPhase::Encrypting, 0, 0, 100 * int64_t(kMiB), 0.0, "Encrypting  0%  0.0 MiB of 100.0 MiB  --:-- left"},
        {TJobPhase::Decrypting, 0, 25 * int64_t(kMiB), 100 * int64_t(kMiB), 5.0,
         "Decrypting  25%  25.0 MiB of 100.0 MiB  5.0 MiB/s  0:15 left"},
        {TJobPhase::Wiping, 3, 999, 1000, 1.0, "Wiping pass 3/7  99%  999 B of 1000 B  999 B/s  0:00 left"},
        {TJobPhase::Encrypting, 0, 300 * 1024, 600 * 1024, 2.0,
         "Encrypting  50%  300.0 KiB of 600.0 KiB  150.0 KiB/s  0:02 left"},
        {TJobPhase::Verifying, 0, 0, 0, 0.0, "Verifying  100%  0 B of 0 B  --:-- left"},
        {TJobPhase::Decompressing, 0, int64_t(kMiB), 8000 * int64_t(kMiB), 1.0,
         "Decompressing  0%  1.0 MiB of 8000.0 MiB  1.0 MiB/s  2:13:19 left"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(lw::cli::TProgressLine::Text(row.phase, row.pass, row.done, row.expected, row.seconds), row.text);
}

namespace {

// Runs the tool on a pseudo-terminal and interrupts it once its progress line shows: by
// Ctrl+C typed on the terminal or by a SIGINT sent to it. Prints the exit status (minus
// the signal when one ended it), then everything the terminal showed.
const char* const kInterruptScript = R"(
import os, pty, signal, sys
cli, config, args, how = sys.argv[1], sys.argv[2], sys.argv[3:-1], sys.argv[-1]
os.environ["XDG_CONFIG_HOME"] = config
pid, fd = pty.fork()
if pid == 0:
    os.execv(cli, [cli] + args)
seen = b""
sent = False
while True:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    seen += chunk
    if not sent and (b"Wiping" if how.endswith("-wiping") else b"%") in seen:
        if how == "ctrl-c":
            os.write(fd, b"\x03")
        else:
            os.kill(pid, signal.SIGINT)
        sent = True
_, status = os.waitpid(pid, 0)
code = os.WEXITSTATUS(status) if os.WIFEXITED(status) else -os.WTERMSIG(status)
sys.stdout.write("%d\n" % code)
sys.stdout.write(seen.decode("latin-1"))
)";

} // namespace

// A large encryption interrupted in the middle must stop by itself, not die of the signal.
TEST(ProgressLine, AnInterruptStopsTheJobAndLeavesNothing)
{
    const std::string script = kInterruptScript;
    const Bytes plain = TextBytes(48 * kMiB, 8);
    for (const char* how : {"ctrl-c", "kill"})
        for (bool compress : {false, true}) {
            SCOPED_TRACE(std::string(how) + (compress ? " .fez" : " .fe2"));
            TempDir config(MemoryTempRoot());
            TempDir dir(MemoryTempRoot());
            WriteFile(config / "phrase", {'p', 'w', '\n'});
            WriteFile(dir / "data", plain);
            std::vector<std::string> argv{LOCKWELL_PYTHON, "-c",       script,    LOCKWELL_CLI,    config.Path(),
                                          "encrypt",       "--cipher", "serpent", "--phrase-file", config / "phrase"};
            if (compress)
                argv.push_back("--compress");
            argv.insert(argv.end(), {"--delete-source", "--yes", dir / "data", how});
            const Bytes out = RunProgram(argv);
            const std::string text(out.begin(), out.end());
            EXPECT_EQ(text.rfind("1\n", 0), 0u) << text;
            EXPECT_NE(text.find("\rStopped\r\n"), std::string::npos) << text;
            EXPECT_EQ(text.find("File encrypted"), std::string::npos) << text;
            EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"data"});
            EXPECT_TRUE(ReadFile(dir / "data") == plain);
        }
}

// A wipe interrupted in its first pass finishes that pass and says the content is gone
// though the name stays, never that the file was kept; the same for a job's source wipe.
// On a slow disk the whole wipe may win the race: such a run is tried again.
TEST(ProgressLine, AnInterruptedWipeSaysTheFileWasOverwritten)
{
    const std::string script = kInterruptScript;
    for (bool job : {false, true})
        for (int attempt = 0;; ++attempt) {
            SCOPED_TRACE(job ? "encrypt --delete-source" : "wipe");
            ASSERT_LT(attempt, 5) << "the wipe always ended before the interrupt";
            TempDir config(MemoryTempRoot());
            TempDir dir;
            const Bytes original = TextBytes(64 * kMiB, 3);
            WriteFile(dir / "f.bin", original);
            WriteFile(config / "phrase", {'p', 'w', '\n'});
            std::vector<std::string> argv{LOCKWELL_PYTHON, "-c", script, LOCKWELL_CLI, config.Path()};
            if (job)
                argv.insert(argv.end(), {"encrypt", "--cipher", "rc4", "--phrase-file", config / "phrase",
                                         "--delete-source", "--yes", dir / "f.bin", "ctrl-c-wiping"});
            else
                argv.insert(argv.end(), {"wipe", "--yes", dir / "f.bin", "ctrl-c"});
            const Bytes out = RunProgram(argv);
            const std::string text(out.begin(), out.end());
            if (text.rfind("0\n", 0) == 0 && !fsys::exists(dir / "f.bin"))
                continue;
            EXPECT_EQ(text.rfind("1\n", 0), 0u) << text;
            EXPECT_NE(text.find(std::string(job ? "\r\n" : "\rFile NOT deleted\r\n") +
                                "\"f.bin\" was overwritten but could not be deleted: the wipe was stopped\r\n"),
                      std::string::npos)
                << text;
            EXPECT_EQ(text.find("Source kept"), std::string::npos) << text;
            const Bytes now = ReadFile(dir / "f.bin");
            ASSERT_EQ(now.size(), original.size());
            // Passes come whole: the first leaves zeros, the second ones, and so on.
            EXPECT_TRUE(std::all_of(now.begin(), now.end(), [&](uint8_t b) { return b == now[0]; }));
            EXPECT_TRUE(now[0] == 0x00 || now[0] == 0xFF);
            break;
        }
}
