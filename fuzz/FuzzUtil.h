#pragma once
// Helpers shared by the fuzz targets: a hard check that libFuzzer reports as a crash,
// a reader over the input, a scratch folder on a memory file system, and whole-file
// reads and writes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::fprintf(stderr, "fuzz check failed: %s at %s:%d\n", #cond, __FILE__, __LINE__);                       \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

namespace lwfuzz {

using Bytes = std::vector<uint8_t>;

// Takes an input apart front to back; past its end bytes read as 0 and runs come short.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    unsigned Word() { return Byte() | (unsigned(Byte()) << 8); }
    Bytes Take(size_t n)
    {
        n = std::min(n, m_size - std::min(m_pos, m_size));
        Bytes out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    Bytes Rest() { return Take(m_size); }
    std::string Text(size_t n)
    {
        const Bytes b = Take(n);
        return std::string(b.begin(), b.end());
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

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
