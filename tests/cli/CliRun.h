#pragma once
// Runs lockwell-cli as a separate process with no controlling terminal (so it can never
// wait for a typed answer), a chosen configuration folder and standard input.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestUtil.h"

namespace lwtest {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// The tool, or its test build whose working files are all named ones, as on a file
// system without unnamed files.
inline const char* g_cliProgram = LOCKWELL_CLI;
inline void UseNamedWorkingFiles(bool named)
{
    g_cliProgram = named ? LOCKWELL_CLI_NAMED : LOCKWELL_CLI;
}

// In a forked child: becomes lockwell-cli with args and that configuration folder.
[[noreturn]] inline void ExecCli(const std::vector<std::string>& args, const std::string& configHome)
{
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(g_cliProgram)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(g_cliProgram, argv.data());
    ::_exit(127);
}

// How StartCli runs the tool, beyond its arguments: TCliStart().Err(file).Named().
// Standard streams left unset are /dev/null.
struct TCliStart {
    std::string inFile, outFile, errFile;
    int inFd = -1;             // standard input whose offset the caller shares, to see how far it was read
    std::string workDir;       // the current folder
    std::optional<uid_t> as;   // another user
    const int* gate = nullptr; // a pipe that holds it back
    bool named = false;        // the test build, whose working files are named ones
    bool coreDumps = false;    // core dumps as allowed as the machine lets them be
    unsigned bound = 0;        // seconds until an alarm ends a run that never stops

    TCliStart In(std::string file) const
    {
        return With([&](TCliStart& s) { s.inFile = std::move(file); });
    }
    TCliStart In(int fd) const
    {
        return With([&](TCliStart& s) { s.inFd = fd; });
    }
    TCliStart Out(std::string file) const
    {
        return With([&](TCliStart& s) { s.outFile = std::move(file); });
    }
    TCliStart Err(std::string file) const
    {
        return With([&](TCliStart& s) { s.errFile = std::move(file); });
    }
    TCliStart Dir(std::string folder) const
    {
        return With([&](TCliStart& s) { s.workDir = std::move(folder); });
    }
    TCliStart As(uid_t user) const
    {
        return With([&](TCliStart& s) { s.as = user; });
    }
    TCliStart Gate(const int* pipe) const
    {
        return With([&](TCliStart& s) { s.gate = pipe; });
    }
    TCliStart Named(bool on = true) const
    {
        return With([&](TCliStart& s) { s.named = on; });
    }
    TCliStart CoreDumps() const
    {
        return With([](TCliStart& s) { s.coreDumps = true; });
    }
    TCliStart Bound(unsigned seconds) const
    {
        return With([&](TCliStart& s) { s.bound = seconds; });
    }

private:
    template <class F>
    TCliStart With(F change) const
    {
        TCliStart copy = *this;
        change(copy);
        return copy;
    }
};

// The tool with no terminal; as another user when asked (the ids drop before the exec, so
// the tool never had root's rights). Held back until the gate pipe's writing end is
// closed, when one is given, so that runs can start at once.
inline pid_t StartCli(const std::vector<std::string>& args, const std::string& config, const TCliStart& how = {})
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const auto open = [](const std::string& file, int flags) {
            return ::open(file.empty() ? "/dev/null" : file.c_str(), flags, 0644);
        };
        ::dup2(how.inFd >= 0 ? how.inFd : open(how.inFile, O_RDONLY), 0);
        ::dup2(open(how.outFile, O_WRONLY | O_CREAT | O_TRUNC), 1);
        ::dup2(open(how.errFile, O_WRONLY | O_CREAT | O_TRUNC), 2);
        if (!how.workDir.empty() && ::chdir(how.workDir.c_str()) != 0)
            ::_exit(126);
        const auto as = how.as;
        if (as && (::setgroups(0, nullptr) != 0 || ::setresgid(*as, *as, *as) != 0 || ::setresuid(*as, *as, *as) != 0))
            ::_exit(125);
        if (how.coreDumps) {
            rlimit core{};
            ::getrlimit(RLIMIT_CORE, &core);
            core.rlim_cur = core.rlim_max;
            ::setrlimit(RLIMIT_CORE, &core);
        }
        if (how.bound)
            ::alarm(how.bound);
        UseNamedWorkingFiles(how.named);
        char go = 0;
        if (how.gate) {
            ::close(how.gate[1]);
            (void)!::read(how.gate[0], &go, 1);
        }
        ExecCli(args, config);
    }
    return pid;
}

// The wait status, for a test that tells the signals apart.
inline int WaitStatus(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// The exit status, or -1 when a signal ended the process.
inline int Finish(pid_t pid)
{
    const int status = WaitStatus(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline CliResult RunCli(const std::vector<std::string>& args, const std::string& configHome, const Bytes& input = {},
                        const std::string& workDir = "")
{
    TempDir io;
    WriteFile(io / "in", input);
    CliResult result;
    result.status =
        Finish(StartCli(args, configHome, TCliStart().In(io / "in").Out(io / "out").Err(io / "err").Dir(workDir)));
    const Bytes out = ReadFile(io / "out");
    const Bytes err = ReadFile(io / "err");
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

// Runs lockwell-cli on a new pseudo-terminal, typing each answer once its prompt has
// appeared; returns the exit status (-1 when it was killed for waiting two minutes
// without a word) and everything the terminal showed.
inline CliResult RunCliOnTerminal(const std::vector<std::string>& args, const std::string& configHome,
                                  const std::vector<std::pair<std::string, std::string>>& dialogue)
{
    std::string script = R"(
import os, pty, select, signal, sys, json
cli, config, args, dialogue = sys.argv[1], sys.argv[2], json.loads(sys.argv[3]), json.loads(sys.argv[4])
os.environ["XDG_CONFIG_HOME"] = config
pid, fd = pty.fork()
if pid == 0:
    os.execv(cli, [cli] + args)
seen = b""
def more():
    global seen
    # A tool silent for this long waits for an answer nobody will type: end it.
    if not select.select([fd], [], [], 120)[0]:
        os.kill(pid, signal.SIGKILL)
        return b""
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        chunk = b""
    seen += chunk
    return chunk
# Each answer once its own prompt has shown: the tool drops what was typed before it.
after = 0
for prompt, answer in dialogue:
    p = prompt.encode()
    while seen.find(p, after) < 0:
        if not more():
            break
    at = seen.find(p, after)
    if at >= 0:
        seen = seen[:at] + b"<" + p + b">" + seen[at + len(p):]
        after = at + len(p) + 2
    os.write(fd, answer.encode() + b"\n")
while more():
    pass
_, status = os.waitpid(pid, 0)
sys.stdout.write("%d\n" % (os.WEXITSTATUS(status) if os.WIFEXITED(status) else -1))
sys.stdout.write(seen.decode("latin-1"))
)";
    auto json = [](const std::vector<std::string>& items) {
        std::string s = "[";
        for (const std::string& item : items) {
            s += s.size() > 1 ? ",\"" : "\"";
            for (char c : item) {
                const auto byte = static_cast<unsigned char>(c);
                if (c == '"' || c == '\\') {
                    s += std::string("\\") + c;
                } else if (byte < 0x20) { // a typed Ctrl+C, say
                    char escaped[12];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
                    s += escaped;
                } else {
                    s += c;
                }
            }
            s += "\"";
        }
        return s + "]";
    };
    std::string pairs = "[";
    for (const auto& [prompt, answer] : dialogue)
        pairs += (pairs.size() > 1 ? "," : "") + json({prompt, answer});
    pairs += "]";
    const Bytes out = RunProgram({LOCKWELL_PYTHON, "-c", script, LOCKWELL_CLI, configHome, json(args), pairs});
    const std::string text(out.begin(), out.end());
    CliResult result;
    result.status = std::atoi(text.c_str());
    result.out = text.substr(text.find('\n') + 1);
    return result;
}

} // namespace lwtest
