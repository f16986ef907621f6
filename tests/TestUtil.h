#pragma once
// Small helpers shared by the layer tests: hex, temporary folders, running an
// independent reference (python3, openssl) and reading known-answer files.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>
#ifdef _WIN32
#include <system_error>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace lwtest {

using Bytes = std::vector<uint8_t>;

inline Bytes FromHex(const std::string& hex)
{
    Bytes out;
    std::string digits;
    for (char c : hex)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string ToHex(const uint8_t* data, size_t n)
{
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[data[i] >> 4];
        s += d[data[i] & 15];
    }
    return s;
}
inline std::string ToHex(const Bytes& b)
{
    return ToHex(b.data(), b.size());
}

inline Bytes RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(rng());
    return b;
}

// Pseudo-random printable text with line ends: content any decryption check takes for a
// real file, whatever its length.
inline Bytes TextBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) {
        const uint32_t r = rng() % 96;
        x = static_cast<uint8_t>(r == 95 ? '\n' : ' ' + r);
    }
    return b;
}

// The names in a folder, sorted.
inline std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder under the system temp dir, removed with the object.
class TempDir {
public:
    TempDir() : TempDir(std::filesystem::temp_directory_path().string()) {}
    explicit TempDir(const std::string& parent)
    {
#ifdef _WIN32
        // No mkdtemp: a random name, and create_directory refuses one that exists.
        std::random_device seed;
        std::mt19937 rng(seed());
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "lwtest-%08x", static_cast<unsigned>(rng()));
            std::error_code ec;
            if (std::filesystem::create_directory(parent + "/" + name, ec))
                m_path = parent + "/" + name;
        }
        if (m_path.empty())
            throw std::runtime_error("cannot create a temporary folder in " + parent);
#else
        std::string tmpl = parent + "/lwtest-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = tmpl;
#endif
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const
    {
        return m_path;
    }
    std::string operator/(const std::string& name) const
    {
        return m_path + "/" + name;
    }

private:
    std::string m_path;
};

// A folder in memory where there is one, for tests that write a lot or sync often.
inline std::string MemoryTempRoot()
{
#ifdef _WIN32
    return std::filesystem::temp_directory_path().string();
#else
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string();
#endif
}

inline void WriteFile(const std::string& path, const Bytes& data)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
// The independent references (python3, openssl, the bzip2 command) are Linux programs that
// Wine cannot start: a test that needs one says so and skips. Should one be missed, running
// a reference throws, so the test fails rather than passing without its check.
#define LWTEST_NEEDS_REFERENCE()                                                                                       \
    GTEST_SKIP() << "needs the Linux reference programs (python3, openssl, bzip2); checked in the Linux build"

inline Bytes RunProgram(const std::vector<std::string>& argv, const Bytes& = {}, int* = nullptr)
{
    throw std::runtime_error("no reference program under Windows: " + (argv.empty() ? std::string() : argv[0]));
}

inline Bytes RunPython(const std::string&, const Bytes& = {})
{
    throw std::runtime_error("no reference program under Windows: python3");
}
#else
#define LWTEST_NEEDS_REFERENCE() static_cast<void>(0)

// Runs argv with `input` on stdin; returns stdout. Throws when it exits non-zero.
inline Bytes RunProgram(const std::vector<std::string>& argv, const Bytes& input = {}, int* exitStatus = nullptr)
{
    TempDir dir;
    WriteFile(dir / "in", input);
    std::string cmd;
    for (const auto& a : argv) {
        std::string q = "'";
        for (char c : a)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        cmd += q + "' ";
    }
    cmd += "< '" + (dir / "in") + "' > '" + (dir / "out") + "'";
    const int rc = std::system(cmd.c_str());
    const int status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    if (exitStatus)
        *exitStatus = status;
    else if (status != 0)
        throw std::runtime_error("command failed: " + cmd);
    return ReadFile(dir / "out");
}

// Runs a python3 script (the independent reference) with the given stdin.
inline Bytes RunPython(const std::string& script, const Bytes& input = {})
{
#ifdef LOCKWELL_PYTHON
    return RunProgram({LOCKWELL_PYTHON, "-c", script}, input);
#else
    return RunProgram({"python3", "-c", script}, input);
#endif
}

// A helper process: body runs in a fork of this one, which ends with body's return. The
// child reads what Send writes from `in` (end of file once the test is done with it) and
// writes to `out` what Read returns.
class ForkedChild {
public:
    explicit ForkedChild(const std::function<int(int in, int out)>& body)
    {
        int down[2], up[2];
        if (::pipe2(down, O_CLOEXEC) != 0)
            return;
        if (::pipe2(up, O_CLOEXEC) != 0) {
            ::close(down[0]);
            ::close(down[1]);
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            ::_exit(body(down[0], up[1]));
        }
        ::close(down[0]);
        ::close(up[1]);
        m_send = down[1];
        m_read = up[0];
    }
    ~ForkedChild() { Wait(); }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    bool Started() const { return m_pid > 0; }
    bool Send(char c) { return m_send >= 0 && ::write(m_send, &c, 1) == 1; }
    // Up to `most` bytes the child wrote, fewer once it closed its end.
    std::string Read(size_t most = SIZE_MAX)
    {
        std::string got;
        char buffer[512];
        for (ssize_t n = 1; m_read >= 0 && got.size() < most && n > 0;) {
            n = ::read(m_read, buffer, std::min(sizeof buffer, most - got.size()));
            if (n > 0)
                got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }
    // Whether it has ended, without waiting.
    bool Ended()
    {
        if (m_pid > 0 && ::waitpid(m_pid, &m_status, WNOHANG) != 0)
            m_pid = -1;
        return m_pid <= 0;
    }
    // Tells it the test is done, waits for it and gives its wait status.
    int Wait()
    {
        for (int* fd : {&m_send, &m_read})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        if (m_pid > 0)
            ::waitpid(m_pid, &m_status, 0);
        m_pid = -1;
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_send = -1;
    int m_read = -1;
    int m_status = -1;
};

// A FAT image mounted through FUSE (fusefat): no hard links, no rename flags and no
// unnamed files, like the desktop's mounts of phones and network shares.
class FuseFatMount {
public:
    FuseFatMount() : m_folder(m_holder / "mnt")
    {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            m_skip = "no usable /dev/fuse here";
            return;
        }
        std::filesystem::create_directory(m_folder);
        const std::string image = m_holder / "fat.img";
        RunProgram({"truncate", "-s", "32M", image});
        RunProgram({"mkfs.vfat", image});
        RunProgram({"fusefat", "-o", "rw+", image, m_folder});
        m_mounted = true;
    }
    ~FuseFatMount()
    {
        int status = 0;
        if (m_mounted)
            RunProgram({"umount", "-l", m_folder}, {}, &status);
    }
    FuseFatMount(const FuseFatMount&) = delete;
    FuseFatMount& operator=(const FuseFatMount&) = delete;
    // Why the mount could not be tried; empty when it is there.
    const std::string& Skip() const { return m_skip; }
    const std::string& Path() const { return m_folder; }
    std::string operator/(const std::string& name) const { return m_folder + "/" + name; }

private:
    TempDir m_holder;
    std::string m_folder;
    std::string m_skip;
    bool m_mounted = false;
};
#endif

// Known-answer files: "[Name]" sections, "Key = hex" lines, "#" comments, blank lines
// between vectors. Each vector is a map of field name to hex bytes.
struct VecFile {
    std::map<std::string, std::vector<std::map<std::string, Bytes>>> sections;
};

inline VecFile ReadVecFile(const std::string& name)
{
#ifdef LOCKWELL_TEST_DATA_DIR
    std::ifstream f(std::string(LOCKWELL_TEST_DATA_DIR) + "/" + name);
#else
    std::ifstream f(name);
#endif
    if (!f)
        throw std::runtime_error("missing vector file " + name);
    VecFile out;
    std::string section, line;
    std::map<std::string, Bytes> current;
    auto flush = [&] {
        if (!current.empty())
            out.sections[section].push_back(current);
        current.clear();
    };
    while (std::getline(f, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            flush();
            continue;
        }
        if (line[0] == '#')
            continue;
        if (line[0] == '[') {
            flush();
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        if (current.count(key))
            flush();
        current[key] = FromHex(line.substr(eq + 1));
    }
    flush();
    return out;
}

} // namespace lwtest
