#pragma once
// Processes for the tool's safety tests: a run stopped in the middle of its job, a program
// appending to a file, a read-only file system.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CliRun.h"
#include "TestUtil.h"

namespace lwtest {

inline bool Ended(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG | WNOWAIT) == pid;
}

// The regular files in folder the process holds open, with their sizes; an unnamed one
// ends in " (deleted)".
inline std::map<std::string, int64_t> OpenFilesIn(pid_t pid, const std::string& folder)
{
    std::map<std::string, int64_t> held;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string target = std::filesystem::read_symlink(it->path(), ec).string();
        struct stat st {};
        if (!ec && target.rfind(folder + "/", 0) == 0 && ::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            held[target] = st.st_size;
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

// Stops the run once ready() holds, and keeps it stopped when still() then holds too
// (it did not get past that point before it stopped). False when it ended, got past
// unseen or did not get there in a minute; it is then left running.
inline bool StopWhen(pid_t pid, const std::function<bool()>& ready, const std::function<bool()>& still)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && !Ended(pid)) {
        if (!ready()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        ::kill(pid, SIGSTOP);
        int status = 0;
        ::waitpid(pid, &status, WUNTRACED);
        if (!WIFSTOPPED(status))
            return false;
        if (still())
            return true;
        ::kill(pid, SIGCONT);
        return false;
    }
    return false;
}

// Stops the run where it holds its source open and locked and has its working file (so it
// has recorded what it reads), before any commit.
inline bool StopMidJob(pid_t pid, const std::string& folder, const std::string& source, const std::string& output)
{
    return StopWhen(
        pid,
        [&] {
            const auto held = OpenFilesIn(pid, folder);
            return held.size() >= 2 && held.count(source) && Locked(source);
        },
        [&] { return OpenFilesIn(pid, folder).size() >= 2 && !std::filesystem::exists(output); });
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
