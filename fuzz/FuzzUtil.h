#pragma once
// Helpers shared by the fuzz targets: a hard check that libFuzzer reports as a crash,
// a scratch folder on a memory file system, and whole-file reads and writes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "fuzz check failed: %s at %s:%d\n", #cond, __FILE__,      \
                         __LINE__);                                                        \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace lwfuzz {

using Bytes = std::vector<uint8_t>;

// One folder per process, emptied before each input; /dev/shm keeps the flushes cheap.
class Scratch {
public:
    Scratch()
    {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string tmpl = std::string(base) + "/lwfuzz-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            std::abort();
        m_path = tmpl;
    }
    ~Scratch() { std::filesystem::remove_all(m_path); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

    void Clear() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            std::filesystem::remove_all(entry.path());
    }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(f.good());
}

inline Bytes ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

} // namespace lwfuzz
