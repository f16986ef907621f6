// WipeFile (seven passes, a flush after each) on one large file (256 MiB unless
// LOCKWELL_BENCH_WIPE_MIB says otherwise), beside seven `dd conv=notrunc,fdatasync` runs
// writing the same patterns from files in the page cache. The two alternate in the
// same run; the counters hold the best MB/s of each (MB = 10^6 bytes written).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "jobs/Wipe.h"
#include "jobs/WipePattern.h"

namespace {

namespace fsys = std::filesystem;
using Clock = std::chrono::steady_clock;

class YesAsk final : public lw::IAskUser {
public:
    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType, const std::string&, lw::TMsgDlgButtons) override { return lw::mbOK; }
};

int64_t FileBytes()
{
    const char* mib = std::getenv("LOCKWELL_BENCH_WIPE_MIB");
    return (mib ? std::atoll(mib) : 256) * 1024 * 1024;
}

const fsys::path& WorkDir()
{
    static const fsys::path dir = [] {
        const char* base = std::getenv("LOCKWELL_BENCH_DIR");
        fsys::path d = fsys::path(base ? base : fsys::temp_directory_path().string()) /
                       ("lockwell-wipe-" + std::to_string(::getpid()));
        fsys::create_directories(d);
        return d;
    }();
    return dir;
}

// Writes the 4,096-byte pattern repeated over the whole size and puts it on the disk,
// so no write-back of it is pending while a wipe is timed.
void WriteRepeated(const std::string& path, std::span<const uint8_t> pattern)
{
    std::vector<uint8_t> chunk(lw::kWipeWriteSize);
    lw::RepeatPattern(pattern, chunk);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    for (int64_t left = FileBytes(); left > 0;) {
        const auto n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
        if (::write(fd, chunk.data(), n) != static_cast<ssize_t>(n)) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path);
        }
        left -= static_cast<int64_t>(n);
    }
    ::fdatasync(fd);
    ::close(fd);
}

// The seven passes' sources for dd: zeros and ones in turn, then a random pattern repeated.
const std::vector<std::string>& PatternFiles()
{
    static const std::vector<std::string> files = [] {
        std::vector<uint8_t> pattern(lw::kWipeBufferSize);
        uint32_t seed = 2026;
        std::vector<std::string> sources;
        for (int pass : {1, 2, lw::kWipePasses}) {
            lw::FillWipePattern(pass, pattern, seed);
            sources.push_back((WorkDir() / ("pass" + std::to_string(pass))).string());
            WriteRepeated(sources.back(), pattern);
        }
        std::vector<std::string> f;
        for (int pass = 1; pass < lw::kWipePasses; ++pass)
            f.push_back(sources[(pass - 1) % 2]);
        f.push_back(sources[2]);
        return f;
    }();
    return files;
}

std::string Victim()
{
    static std::vector<uint8_t> content = [] {
        std::vector<uint8_t> c(lw::kWipeBufferSize);
        uint32_t seed = 7;
        lw::FillRandomBytes(c, seed);
        return c;
    }();
    const std::string path = (WorkDir() / "victim.bin").string();
    WriteRepeated(path, content);
    return path;
}

double WipeSeconds()
{
    const std::string path = Victim();
    YesAsk ask;
    const auto start = Clock::now();
    if (lw::WipeFile(nullptr, path, ask) != lw::TWipeEnd::Deleted)
        throw std::runtime_error("wipe failed");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double DdSeconds()
{
    const std::string path = Victim();
    const auto start = Clock::now();
    for (const std::string& source : PatternFiles()) {
        const std::string command = "dd if='" + source + "' of='" + path + "' bs=1M conv=notrunc,fdatasync status=none";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("dd failed");
    }
    fsys::remove(path);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_Wipe(benchmark::State& state)
{
    double lockwell = 1e30;
    double dd = 1e30;
    PatternFiles();
    try {
        int round = 0;
        for (auto _ : state) {
            // Alternate which goes first, so a drift of the disk favours neither.
            double w = 0;
            if (round++ % 2 == 0) {
                w = WipeSeconds();
                dd = std::min(dd, DdSeconds());
            } else {
                dd = std::min(dd, DdSeconds());
                w = WipeSeconds();
            }
            lockwell = std::min(lockwell, w);
            state.SetIterationTime(w);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const double bytes = 7.0 * static_cast<double>(FileBytes());
    state.counters["Lockwell_MBps"] = bytes / lockwell / 1e6;
    state.counters["dd_MBps"] = bytes / dd / 1e6;
    state.counters["ratio"] = dd / lockwell;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark(("Wipe/" + std::to_string(FileBytes() >> 20) + "MiB").c_str(), BM_Wipe)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fsys::remove_all(WorkDir(), ec);
    return 0;
}
