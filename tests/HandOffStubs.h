#pragma once
// Stand-ins for desktop tools: PATH pointed at a folder of small shell scripts that
// log how they were called, and polling helpers for processes we don't wait for.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "TestUtil.h"

namespace lwtest {

// Sets PATH for the life of the object.
class PathOverride {
public:
    explicit PathOverride(const std::string& value)
    {
        if (const char* old = std::getenv("PATH"))
            m_old = old;
        setenv("PATH", value.c_str(), 1);
    }
    ~PathOverride()
    {
        if (m_old)
            setenv("PATH", m_old->c_str(), 1);
        else
            unsetenv("PATH");
    }
    PathOverride(const PathOverride&) = delete;
    PathOverride& operator=(const PathOverride&) = delete;

private:
    std::optional<std::string> m_old;
};

inline void WriteScript(const std::string& path, const std::string& body)
{
    const std::string text = "#!/bin/sh\n" + body;
    WriteFile(path, Bytes(text.begin(), text.end()));
    chmod(path.c_str(), 0755);
}

inline std::string ReadText(const std::string& path)
{
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

// Splits a log written with printf '%s\0'.
inline std::vector<std::string> SplitNul(const std::string& text)
{
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (auto end = text.find('\0'); end != std::string::npos; end = text.find('\0', start)) {
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Process state letter from /proc ('R', 'S', 'Z'...), or 0 when the process is gone.
inline char ProcessState(int pid)
{
    const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

inline bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

} // namespace lwtest
