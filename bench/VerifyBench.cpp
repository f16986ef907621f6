// What reading the output back before a wipe costs: each job with "Delete source file"
// (the wipe itself declined, so only the read-back and comparison are added) beside the
// same job without it, for ".fe2" and ".fez", on one file (64 MiB unless
// LOCKWELL_BENCH_MIB says otherwise). Ends with a table of the results.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "BenchUtil.h"
#include "jobs/Jobs.h"

namespace {

namespace fsys = std::filesystem;

using lwbench::NoHandOff;

constexpr int kCipher = 3; // Rijndael: the fastest cipher leaves the read-back most exposed

int64_t FileBytes()
{
    return lwbench::EnvNumber("LOCKWELL_BENCH_MIB", 64) * 1024 * 1024;
}

const fsys::path& WorkDir()
{
    static const fsys::path dir = lwbench::MakeWorkDir("lockwell-verify-bench-");
    return dir;
}

// Every question answered so that nothing is wiped: Cancel to the wipe, No to the rest.
class KeepingAsk final : public lw::IAskUser {
public:
    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        if (kind == lw::TMsgDlgType::mtError)
            failure = text;
        return buttons & lw::mbCancel ? lw::mbCancel : buttons & lw::mbNo ? lw::mbNo : lw::mbOK;
    }
    std::string failure;
};

std::string Packed(bool compress)
{
    return compress ? "source.txt.fez" : "source.txt.fe2";
}

void Prepare()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    lwbench::WriteTextLike((WorkDir() / "source.txt").string(), FileBytes());
    fsys::create_directories(WorkDir() / "enc");
    fsys::create_directories(WorkDir() / "dec");
}

bool RunJob(bool decrypt, bool compress, bool verify, std::string& failure)
{
    KeepingAsk ask;
    NoHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::TJobOptions options;
    options.KeyPhrase = lwbench::kPhrase;
    options.CipherIndex = kCipher;
    options.Compress = compress;
    options.DeleteSource = verify;
    if (decrypt) {
        options.SourcePath = (WorkDir() / "enc" / Packed(compress)).string();
        options.DestinationFolder = (WorkDir() / "dec").string();
        fsys::remove(WorkDir() / "dec" / "source.txt");
        lw::RunDecryptJob(options, context);
    } else {
        options.SourcePath = (WorkDir() / "source.txt").string();
        options.DestinationFolder = (WorkDir() / "enc").string();
        fsys::remove(WorkDir() / "enc" / Packed(compress));
        lw::RunEncryptJob(options, context);
    }
    failure = ask.failure.empty() ? "" : ask.failure + ": " + context.FailureReason;
    return failure.empty();
}

std::map<std::string, double> g_seconds; // "format direction verify"

void BM_Verify(benchmark::State& state)
{
    const bool compress = state.range(0) != 0;
    const bool decrypt = state.range(1) != 0;
    const bool verify = state.range(2) != 0;
    std::string failure;
    Prepare();
    if (decrypt && !fsys::exists(WorkDir() / "enc" / Packed(compress)) && !RunJob(false, compress, false, failure)) {
        state.SkipWithError(failure.c_str());
        return;
    }
    double best = 1e30;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunJob(decrypt, compress, verify, failure)) {
            state.SkipWithError(failure.c_str());
            return;
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    g_seconds[std::string(compress ? ".fez" : ".fe2") + (decrypt ? " decrypt" : " encrypt") +
              (verify ? " verified" : " plain")] = best;
    state.counters["MB/s"] = static_cast<double>(FileBytes()) / best / 1e6;
}

void Register()
{
    for (int compress = 0; compress < 2; ++compress)
        for (int decrypt = 0; decrypt < 2; ++decrypt)
            for (int verify = 0; verify < 2; ++verify)
                benchmark::RegisterBenchmark((std::string("Verify/") + (compress ? "fez" : "fe2") +
                                              (decrypt ? "/decrypt" : "/encrypt") + (verify ? "/verified" : "/plain"))
                                                 .c_str(),
                                             BM_Verify)
                    ->Args({compress, decrypt, verify})
                    ->Iterations(3)
                    ->Unit(benchmark::kMillisecond);
}

void PrintTable()
{
    std::printf("\nRead-back before the wipe, Rijndael, %lld MiB text-like file (best of 3, seconds)\n",
                static_cast<long long>(FileBytes() >> 20));
    std::printf("%-5s %-8s %10s %10s %8s\n", "file", "job", "plain", "verified", "ratio");
    for (const char* format : {".fe2", ".fez"})
        for (const char* direction : {"encrypt", "decrypt"}) {
            const std::string key = std::string(format) + " " + direction;
            if (!g_seconds.count(key + " plain") || !g_seconds.count(key + " verified"))
                continue;
            const double plain = g_seconds[key + " plain"];
            const double verified = g_seconds[key + " verified"];
            std::printf("%-5s %-8s %10.3f %10.3f %8.2f\n", format, direction, plain, verified, verified / plain);
        }
}

} // namespace

int main(int argc, char** argv)
{
    return lwbench::RunJobBench(argc, argv, Register, PrintTable, WorkDir);
}
