// Whole encrypt and decrypt jobs per cipher on one large file (256 MiB unless
// LOCKWELL_BENCH_MIB says otherwise), for ".fe2" and ".fez", with the job's peak memory.
// Ends with a table of the results.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "jobs/Jobs.h"

namespace {

namespace fsys = std::filesystem;

const char* const kCipherNames[] = {"RC4", "Blowfish", "Serpent", "Rijndael"};

using lwbench::NoHandOff;
using lwbench::PeakKiB;
using lwbench::QuietAsk;
using lwbench::ResetPeak;

int64_t FileBytes()
{
    return lwbench::EnvNumber("LOCKWELL_BENCH_MIB", 256) * 1024 * 1024;
}

const fsys::path& WorkDir()
{
    static const fsys::path dir = lwbench::MakeWorkDir("lockwell-bench-");
    return dir;
}

const std::string& SourceFile()
{
    static const std::string path = [] {
        const std::string p = (WorkDir() / "source.txt").string();
        lwbench::WriteTextLike(p, FileBytes());
        return p;
    }();
    return path;
}

bool RunJob(bool decrypt, int cipher, bool compress, std::string& failure)
{
    QuietAsk ask;
    NoHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::TJobOptions options;
    options.KeyPhrase = "benchmark phrase";
    options.CipherIndex = cipher;
    options.Compress = compress;
    if (decrypt) {
        options.SourcePath = (WorkDir() / "enc" / (compress ? "source.txt.fez" : "source.txt.fe2")).string();
        options.DestinationFolder = (WorkDir() / "dec").string();
        lw::RunDecryptJob(options, context);
        fsys::remove(WorkDir() / "dec" / "source.txt");
    } else {
        options.SourcePath = SourceFile();
        options.DestinationFolder = (WorkDir() / "enc").string();
        fsys::remove(options.DestinationFolder + "/" + (compress ? "source.txt.fez" : "source.txt.fe2"));
        lw::RunEncryptJob(options, context);
    }
    failure = ask.failure.empty() ? "" : ask.failure + ": " + context.FailureReason;
    return failure.empty();
}

struct Result {
    double mbPerSecond = 0;
    double peakMiB = 0;
};
std::map<std::string, Result> g_results; // "cipher format direction"

void BM_Job(benchmark::State& state)
{
    const int cipher = static_cast<int>(state.range(0));
    const bool compress = state.range(1) != 0;
    const bool decrypt = state.range(2) != 0;
    std::string failure;
    SourceFile();
    // A decrypt case reads what its encrypt case left; make it when run alone.
    if (decrypt && !fsys::exists(WorkDir() / "enc" / (compress ? "source.txt.fez" : "source.txt.fe2")) &&
        !RunJob(false, cipher, compress, failure)) {
        state.SkipWithError(failure.c_str());
        return;
    }
    double seconds = 0;
    int64_t peak = 0;
    for (auto _ : state) {
        ResetPeak();
        const auto start = std::chrono::steady_clock::now();
        if (!RunJob(decrypt, cipher, compress, failure)) {
            state.SkipWithError(failure.c_str());
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, PeakKiB());
    }
    Result& r = g_results[std::string(kCipherNames[cipher]) + (compress ? " .fez" : " .fe2") +
                          (decrypt ? " decrypt" : " encrypt")];
    r.mbPerSecond = static_cast<double>(FileBytes()) * static_cast<double>(state.iterations()) / seconds / 1e6;
    r.peakMiB = static_cast<double>(peak) / 1024.0;
    state.counters["MB/s"] = r.mbPerSecond;
    state.counters["peak_MiB"] = r.peakMiB;
    if (decrypt)
        fsys::remove(WorkDir() / "enc" / (compress ? "source.txt.fez" : "source.txt.fe2"));
}

void Register()
{
    for (int cipher = 0; cipher < 4; ++cipher)
        for (int compress = 0; compress < 2; ++compress)
            for (int decrypt = 0; decrypt < 2; ++decrypt)
                benchmark::RegisterBenchmark((std::string("Job/") + kCipherNames[cipher] +
                                              (compress ? "/fez" : "/fe2") + (decrypt ? "/decrypt" : "/encrypt"))
                                                 .c_str(),
                                             BM_Job)
                    ->Args({cipher, compress, decrypt})
                    ->Iterations(1)
                    ->Unit(benchmark::kSecond);
}

void PrintTable()
{
    std::printf("\nWhole jobs on a %lld MiB text-like file (MB = 10^6 bytes of source; peak = VmHWM)\n",
                static_cast<long long>(FileBytes() >> 20));
    std::printf("%-9s %-5s %13s %13s %13s %13s\n", "cipher", "file", "encrypt MB/s", "decrypt MB/s", "enc peak MiB",
                "dec peak MiB");
    for (const char* cipher : kCipherNames)
        for (const char* format : {".fe2", ".fez"}) {
            const std::string key = std::string(cipher) + " " + format;
            if (!g_results.count(key + " encrypt") && !g_results.count(key + " decrypt"))
                continue;
            const Result e = g_results[key + " encrypt"];
            const Result d = g_results[key + " decrypt"];
            std::printf("%-9s %-5s %13.1f %13.1f %13.0f %13.0f\n", cipher, format, e.mbPerSecond, d.mbPerSecond,
                        e.peakMiB, d.peakMiB);
        }
}

} // namespace

int main(int argc, char** argv)
{
    return lwbench::RunJobBench(argc, argv, Register, PrintTable, WorkDir);
}
