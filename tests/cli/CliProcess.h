#pragma once
// Processes for the tool's safety tests: a run stopped in the middle of its job, a program
// appending to a file, a read-only file system, a large source.
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

// Starts runs with start(), which lays out their files anew, until StopWhen catches one
// where ready(pid) and still(pid) hold; its pid, or -1 when every run got past unseen.
inline pid_t StopARunMidJob(const std::function<pid_t()>& start, const std::function<bool(pid_t)>& ready,
                            const std::function<bool(pid_t)>& still)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const pid_t pid = start();
        if (StopWhen(
                pid, [&] { return ready(pid); }, [&] { return still(pid); }))
            return pid;
        WaitStatus(pid);
    }
    return -1;
}

// The same, stopped where the run holds its source open and locked and has its working
// file (so it has recorded what it reads), before any commit.
inline pid_t StopARunMidJob(const std::function<pid_t()>& start, const std::string& folder, const std::string& source,
                            const std::string& output)
{
    return StopARunMidJob(
        start,
        [&](pid_t pid) {
            const auto held = OpenFilesIn(pid, folder);
            return held.size() >= 2 && held.count(source) && Locked(source);
        },
        [&](pid_t pid) { return OpenFilesIn(pid, folder).size() >= 2 && !std::filesystem::exists(output); });
}

// A large source made quickly: block repeated, each copy with its index written in, so
// that no two copies are the same.
inline Bytes Repeated(const Bytes& block, size_t copies)
{
    Bytes data;
    data.reserve(block.size() * copies);
    for (size_t i = 0; i < copies; ++i) {
        data.insert(data.end(), block.begin(), block.end());
        const std::string index = std::to_string(i);
        std::copy(index.begin(), index.end(), data.end() - static_cast<ptrdiff_t>(block.size()));
    }
    return data;
}

// Another program appending lines to path, from when it is let go until the test is done
// with it; says when the first line is in.
class Appender {
public:
    explicit Appender(const std::string& path)
        : m_child([&path](int go, int first) {
              const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
              char c = 0;
              if (fd < 0 || ::read(go, &c, 1) != 1)
                  return 1;
              pollfd stop{go, POLLIN, 0};
              for (int n = 0;; ++n) {
                  const std::string line = Line(n);
                  if (::write(fd, line.data(), line.size()) != ssize_t(line.size()))
                      return 2;
                  if (n == 0 && ::write(first, "1", 1) != 1)
                      return 3;
                  if (::poll(&stop, 1, 1) != 0) // the test closed its end
                      return 0;
              }
          })
    {}

    // Lets it go; with wait, returns once the first line is in.
    bool Go(bool wait) { return m_child.Send('g') && (!wait || m_child.Read(1).size() == 1); }
    void Stop() { m_child.Wait(); }
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
    ForkedChild m_child;
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
