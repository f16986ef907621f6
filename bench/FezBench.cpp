// ".fez" jobs against single-stream bzip2 at block size 5, in the same run: the encrypt
// job (compression on every core, then Rijndael) and the decrypt job, with the job's
// peak memory. Peers: libbz2 as one stream through TBZCompressionStream /
// TBZDecompressionStream, `bzip2 -5`, and `lbzip2 -5 -n 2` when installed (other bytes).
// Rounds alternate ours and the peers; each figure is the best round.
//
// LOCKWELL_BENCH_MIB sets the file size (default 128), LOCKWELL_BENCH_ROUNDS the rounds
// (default 2). The long memory check, a 4 GiB round trip, takes several minutes:
//   LOCKWELL_BENCH_MIB=4096 LOCKWELL_BENCH_ROUNDS=1 ./FezBench --benchmark_filter=job
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "compress/BZip2.h"
#include "jobs/Jobs.h"
#include "platform/FileStream.h"

namespace {

namespace fsys = std::filesystem;

constexpr int kRijndael = 3;

using lwbench::EnvNumber;
using lwbench::NoHandOff;
using lwbench::PeakKiB;
using lwbench::QuietAsk;
using lwbench::ResetPeak;

int64_t FileBytes()
{
    return EnvNumber("LOCKWELL_BENCH_MIB", 128) * 1024 * 1024;
}

const fsys::path& WorkDir()
{
    static const fsys::path dir = lwbench::MakeWorkDir("lockwell-fezbench-");
    return dir;
}

std::string At(const std::string& name)
{
    return (WorkDir() / name).string();
}

const std::string& SourceFile()
{
    static const std::string path = [] {
        const std::string p = At("source.txt");
        lwbench::WriteTextLike(p, FileBytes());
        return p;
    }();
    return path;
}

// The decrypt job reads what the encrypt job of the same round wrote.
bool RunJob(bool decrypt)
{
    QuietAsk ask;
    NoHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::TJobOptions options;
    options.KeyPhrase = "benchmark phrase";
    options.CipherIndex = kRijndael;
    options.Compress = true;
    if (decrypt) {
        options.SourcePath = At("enc/source.txt.fez");
        options.DestinationFolder = At("dec");
        fsys::remove(At("dec/source.txt"));
        lw::RunDecryptJob(options, context);
    } else {
        options.SourcePath = SourceFile();
        options.DestinationFolder = At("enc");
        fsys::remove(At("enc/source.txt.fez"));
        lw::RunEncryptJob(options, context);
    }
    return ask.failure.empty();
}

void CopyThrough(lw::TStream& from, lw::TStream& to)
{
    std::vector<uint8_t> piece(lw::TStream::kMaxCopyPiece);
    for (;;) {
        const int64_t n = from.Read(piece);
        if (n <= 0)
            break;
        to.WriteBuffer(std::span<const uint8_t>(piece.data(), static_cast<size_t>(n)));
    }
}

bool LibraryCompress()
{
    lw::TFileStream in(SourceFile(), lw::TFileMode::fmOpenReadShared);
    lw::TFileStream out(At("peer.bz2"), lw::TFileMode::fmCreate);
    lw::TBZCompressionStream packer(lw::TBlockSize100k::bs5, out);
    CopyThrough(in, packer);
    packer.Finish();
    return true;
}

bool LibraryDecompress()
{
    if (!fsys::exists(At("peer.bz2")))
        LibraryCompress();
    lw::TFileStream in(At("peer.bz2"), lw::TFileMode::fmOpenReadShared);
    lw::TFileStream out(At("peer.out"), lw::TFileMode::fmCreate);
    lw::TBZDecompressionStream unpacker(in);
    CopyThrough(unpacker, out);
    return true;
}

bool Have(const char* program)
{
    return std::system((std::string("command -v ") + program + " >/dev/null").c_str()) == 0;
}

bool Command(const std::string& line)
{
    return std::system(line.c_str()) == 0;
}

std::string Quoted(const std::string& s)
{
    return "'" + s + "'";
}

struct Case {
    const char* name;
    std::function<bool()> run;
    bool inProcess;
};

struct Best {
    double mbPerSecond = 0;
    double peakMiB = 0;
};
std::map<std::string, Best> g_best;

std::vector<Case> Cases()
{
    const std::string src = Quoted(SourceFile());
    std::vector<Case> cases = {
        {"job/fez_encrypt", [] { return RunJob(false); }, true},
        {"peer/libbz2_compress", LibraryCompress, true},
        {"peer/bzip2_-5", [src] { return Command("bzip2 -5 -c " + src + " > " + Quoted(At("cmd.bz2"))); }, false},
        {"job/fez_decrypt", [] { return RunJob(true); }, true},
        {"peer/libbz2_decompress", LibraryDecompress, true},
        {"peer/bzip2_-d", [] { return Command("bzip2 -d -c " + Quoted(At("cmd.bz2")) + " > /dev/null"); }, false},
    };
    if (Have("lbzip2")) {
        cases.push_back({"peer/lbzip2_-5_-n_2",
                         [src] { return Command("lbzip2 -5 -n 2 -c " + src + " > " + Quoted(At("lb.bz2"))); }, false});
        cases.push_back({"peer/lbzip2_-d_-n_2",
                         [] { return Command("lbzip2 -d -n 2 -c " + Quoted(At("lb.bz2")) + " > /dev/null"); }, false});
    }
    return cases;
}

void Register()
{
    static const std::vector<Case> cases = Cases();
    const int64_t rounds = std::max<int64_t>(EnvNumber("LOCKWELL_BENCH_ROUNDS", 2), 1);
    for (int64_t round = 0; round < rounds; ++round)
        for (const Case& c : cases) {
            benchmark::RegisterBenchmark(
                c.name,
                [&c](benchmark::State& state) {
                    SourceFile();
                    double seconds = 0;
                    for (auto _ : state) {
                        ResetPeak();
                        const auto start = std::chrono::steady_clock::now();
                        if (!c.run()) {
                            state.SkipWithError("failed");
                            return;
                        }
                        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                    }
                    Best& b = g_best[c.name];
                    const double rate = static_cast<double>(FileBytes()) / seconds / 1e6;
                    b.mbPerSecond = std::max(b.mbPerSecond, rate);
                    if (c.inProcess)
                        b.peakMiB = std::max(b.peakMiB, static_cast<double>(PeakKiB()) / 1024.0);
                    state.counters["MB/s"] = rate;
                })
                ->Iterations(1)
                ->Unit(benchmark::kSecond);
        }
}

void Row(const char* work, const char* ours, const char* peer, const char* cmd, const char* lb)
{
    const Best o = g_best[ours];
    const Best p = g_best[peer];
    std::printf("%-13s %9.1f %9.1f %6.2f %9.1f %9.1f %9.0f\n", work, o.mbPerSecond, p.mbPerSecond,
                p.mbPerSecond > 0 ? o.mbPerSecond / p.mbPerSecond : 0.0, g_best[cmd].mbPerSecond,
                g_best[lb].mbPerSecond, o.peakMiB);
}

void PrintTable()
{
    std::printf("\n\".fez\" jobs (Rijndael) on a %lld MiB text-like file; MB = 10^6 source bytes, best of the rounds\n",
                static_cast<long long>(FileBytes() >> 20));
    std::printf("%-13s %9s %9s %6s %9s %9s %9s\n", "work", "Lockwell", "libbz2", "ratio", "bzip2", "lbzip2",
                "peak MiB");
    Row(".fez encrypt", "job/fez_encrypt", "peer/libbz2_compress", "peer/bzip2_-5", "peer/lbzip2_-5_-n_2");
    Row(".fez decrypt", "job/fez_decrypt", "peer/libbz2_decompress", "peer/bzip2_-d", "peer/lbzip2_-d_-n_2");
}

} // namespace

int main(int argc, char** argv)
{
    return lwbench::RunJobBench(argc, argv, Register, PrintTable, WorkDir);
}
