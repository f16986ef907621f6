#pragma once
// Processes for the tool's safety tests: the tool run as another user or held at a gate,
// a run stopped in the middle of its job, a program appending to a file, a read-only
// file system.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CliRun.h"
#include "TestUtil.h"

namespace lwtest {

// How StartCli runs the tool, beyond its arguments: TCliStart().Err(file).Named().
struct TCliStart {
    std::string errFile;       // its messages; none kept when empty
    std::optional<uid_t> as;   // another user
    const int* gate = nullptr; // a pipe that holds it back
    bool named = false;        // the test build, whose working files are named ones
    bool coreDumps = false;    // core dumps as allowed as the machine lets them be

    TCliStart Err(std::string file) const
    {
        return With([&](TCliStart& s) { s.errFile = std::move(file); });
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
        const int null = ::open("/dev/null", O_RDWR);
        const int err = how.errFile.empty() ? null : ::open(how.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(err, 2);
        const auto as = how.as;
        if (as && (::setgroups(0, nullptr) != 0 || ::setresgid(*as, *as, *as) != 0 || ::setresuid(*as, *as, *as) != 0))
            ::_exit(125);
        if (how.coreDumps) {
            rlimit core{};
            ::getrlimit(RLIMIT_CORE, &core);
            core.rlim_cur = core.rlim_max;
            ::setrlimit(RLIMIT_CORE, &core);
        }
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

// The exit status, or -1 when a signal ended the process.
inline int Finish(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool Ended(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG | WNOWAIT) == pid;
}

// The regular files in folder the process holds open.
inline std::vector<std::string> OpenFilesIn(pid_t pid, const std::string& folder)
{
    std::vector<std::string> held;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string target = std::filesystem::read_symlink(it->path(), ec).string();
        struct stat st {};
        if (!ec && target.rfind(folder + "/", 0) == 0 && ::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            held.push_back(target);
    }
    return held;
}

// Whether some open file holds a lock on path that a wipe's would conflict with.
inline bool Locked(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = fd >= 0 && ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

// Waits until the run holds its source open and locked and has its working file (so it
// has recorded what it reads) and stops it there, before any commit. False when it got
// past that point unseen; it is then left to end.
inline bool StopMidJob(pid_t pid, const std::string& folder, const std::string& source, const std::string& output)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && !Ended(pid)) {
        const auto held = OpenFilesIn(pid, folder);
        if (held.size() < 2 || std::find(held.begin(), held.end(), source) == held.end() || !Locked(source)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        ::kill(pid, SIGSTOP);
        int status = 0;
        ::waitpid(pid, &status, WUNTRACED);
        if (!WIFSTOPPED(status))
            return false;
        if (OpenFilesIn(pid, folder).size() >= 2 && !std::filesystem::exists(output))
            return true;
        ::kill(pid, SIGCONT);
        return false;
    }
    return false;
}

// Another program appending lines to path, from when it is let go until it is stopped;
// says when the first line is in.
class Appender {
public:
    explicit Appender(const std::string& path)
    {
        int go[2], first[2];
        if (::pipe(go) != 0 || ::pipe(first) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(go[1]);
            ::close(first[0]);
            const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
            char c = 0;
            if (fd < 0 || ::read(go[0], &c, 1) != 1)
                ::_exit(1);
            pollfd stop{go[0], POLLIN, 0};
            for (int n = 0;; ++n) {
                const std::string line = Line(n);
                if (::write(fd, line.data(), line.size()) != ssize_t(line.size()))
                    ::_exit(2);
                if (n == 0 && ::write(first[1], "1", 1) != 1)
                    ::_exit(3);
                if (::poll(&stop, 1, 1) != 0) // the parent closed its end
                    ::_exit(0);
            }
        }
        ::close(go[0]);
        ::close(first[1]);
        m_go = go[1];
        m_first = first[0];
    }
    ~Appender() { Stop(); }
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    // Lets it go; with wait, returns once the first line is in.
    bool Go(bool wait)
    {
        char c = 0;
        return ::write(m_go, "g", 1) == 1 && (!wait || ::read(m_first, &c, 1) == 1);
    }
    void Stop()
    {
        if (m_go >= 0)
            ::close(m_go);
        if (m_first >= 0)
            ::close(m_first);
        m_go = m_first = -1;
        if (m_pid > 0)
            Finish(m_pid);
        m_pid = -1;
    }
    static std::string Line(int n) { return "appended line " + std::to_string(n) + "\n"; }

    // Whether bytes are start followed by lines 0, 1, ... (at least one).
    static bool StartThenLines(const Bytes& bytes, const Bytes& start)
    {
        if (bytes.size() <= start.size() || !std::equal(start.begin(), start.end(), bytes.begin()))
            return false;
        const std::string rest(bytes.begin() + static_cast<ptrdiff_t>(start.size()), bytes.end());
        std::string expected;
        for (int n = 0; expected.size() < rest.size(); ++n)
            expected += Line(n);
        return rest == expected;
    }

private:
    pid_t m_pid = -1;
    int m_go = -1;
    int m_first = -1;
};

// A small tmpfs mounted read-only over a folder, holding one file; unmounted with it.
class ReadOnlyMount {
public:
    ReadOnlyMount(const std::string& folder, const Bytes& content) : m_folder(folder)
    {
        std::filesystem::create_directory(folder);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=4m") != 0) {
            m_error = std::strerror(errno);
            return;
        }
        m_mounted = true;
        WriteFile(folder + "/s", content);
        if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            m_error = std::strerror(errno);
    }
    ~ReadOnlyMount()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;
    const std::string& Error() const { return m_error; }

private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_error;
};

} // namespace lwtest
