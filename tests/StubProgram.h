#pragma once
// A stand-in program for launcher tests: a small sh script that records the arguments
// of every run, so a test can check what a desktop launcher really started.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "TestUtil.h"

namespace lwtest {

class StubProgram {
public:
    using Call = std::vector<std::string>;

    // Writes the script at `path`, which may hold any character but NUL.
    explicit StubProgram(const std::string& path) : m_path(path)
    {
        const std::string script =
            "#!/bin/sh\n"
            "call=$(mktemp '" +
            m_log.Path() +
            "/call.XXXXXX') || exit 1\n"
            "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$call.part\"\n"
            "mv \"$call.part\" \"$call.done\"\n";
        WriteFile(path, Bytes(script.begin(), script.end()));
        ::chmod(path.c_str(), 0755);
    }

    const std::string& Path() const { return m_path; }

    // The runs recorded so far, each its argument list, sorted.
    std::vector<Call> Calls() const
    {
        std::vector<Call> calls;
        for (const auto& entry : std::filesystem::directory_iterator(m_log.Path())) {
            if (entry.path().extension() != ".done")
                continue;
            const Bytes data = ReadFile(entry.path().string());
            Call call;
            std::string arg;
            for (uint8_t b : data) {
                if (b == 0) {
                    call.push_back(arg);
                    arg.clear();
                } else {
                    arg += static_cast<char>(b);
                }
            }
            calls.push_back(call);
        }
        std::sort(calls.begin(), calls.end());
        return calls;
    }

    // Waits until `count` runs are recorded (launchers start programs detached), then a
    // little longer so that a surplus run would show too.
    std::vector<Call> WaitForCalls(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(15)) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Calls().size() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return Calls();
    }

private:
    TempDir m_log;
    std::string m_path;
};

} // namespace lwtest
