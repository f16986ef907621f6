// MB/s (uncompressed) of decompressing a 64 MiB text-like bzip2 stream of block size 5: the
// parallel decompressor on 2 threads, our block decoder alone on one thread (no workers), one
// library stream, and the bzip2 and lbzip2 commands.
// CPU is the whole process's for the in-process rows: it shows the cost of going parallel.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "compress/BZip2.h"
#include "compress/ParallelBZip2Decompressor.h"
#include "platform/MemoryStream.h"

namespace {

constexpr int64_t kSize = 64 << 20;

std::string WorkDir()
{
    const char* dir = std::getenv("LOCKWELL_BENCH_DIR");
    return dir ? dir : "/tmp";
}

struct TCorpus {
    lw::TMemoryStream compressed;
    std::string file;
    TCorpus()
    {
        static const char* words[] = {"lorem ",      "ipsum ", "dolor ",  "sit ", "amet, ",   "consectetur ",
                                      "adipiscing ", "elit. ", "sed ",    "do ",  "eiusmod ", "tempor ",
                                      "incididunt ", "ut ",    "labore ", "et\n", "1998 ",    "Lockwell "};
        std::mt19937 rng(12345);
        std::vector<uint8_t> text;
        text.reserve(kSize + 16);
        while (text.size() < static_cast<size_t>(kSize)) {
            const std::string w = words[rng() % std::size(words)];
            text.insert(text.end(), w.begin(), w.end());
            if (rng() % 50 == 0) {
                const std::string n = std::to_string(rng() % 100000) + " ";
                text.insert(text.end(), n.begin(), n.end());
            }
        }
        text.resize(kSize);
        {
            lw::TBZCompressionStream bz(lw::TBlockSize100k::bs5, compressed);
            bz.WriteBuffer(text);
            bz.Finish();
        }
        file = WorkDir() + "/parallel-decompress-bench.bz2";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(compressed.Data().data()),
                   static_cast<std::streamsize>(compressed.Data().size()));
    }
    ~TCorpus() { std::remove(file.c_str()); }
};

TCorpus& Corpus()
{
    static TCorpus corpus;
    return corpus;
}

int64_t Drain(lw::TStream& bz)
{
    std::vector<uint8_t> buf(65536);
    int64_t total = 0;
    for (int64_t n; (n = bz.Read(buf)) > 0;)
        total += n;
    return total;
}

template <unsigned Threads>
void Ours(benchmark::State& state)
{
    TCorpus& c = Corpus();
    for (auto _ : state) {
        c.compressed.SetPosition(0);
        lw::TParallelBZDecompressor bz(c.compressed, Threads);
        if (Drain(bz) != kSize)
            state.SkipWithError("wrong size");
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void SingleStream(benchmark::State& state)
{
    TCorpus& c = Corpus();
    for (auto _ : state) {
        c.compressed.SetPosition(0);
        lw::TBZDecompressionStream bz(c.compressed);
        if (Drain(bz) != kSize)
            state.SkipWithError("wrong size");
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void Command(benchmark::State& state, const std::string& program, const std::string& args)
{
    TCorpus& c = Corpus();
    if (std::system(("command -v " + program + " >/dev/null").c_str()) != 0) {
        state.SkipWithError((program + " is not installed (scripts/bench.sh installs it)").c_str());
        return;
    }
    const std::string cmd = program + " " + args + " -c '" + c.file + "' >/dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("command failed");
    state.SetBytesProcessed(state.iterations() * kSize);
}

} // namespace

BENCHMARK(Ours<2>)
    ->Name("BZip2Decompress/parallel_2_threads")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(Ours<0>)
    ->Name("BZip2Decompress/ours_1_thread")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(SingleStream)
    ->Name("BZip2Decompress/libbz2_single_stream")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(Command, bzip2, "bzip2", "-d")
    ->Name("BZip2Decompress/bzip2_-d")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(Command, lbzip2, "lbzip2", "-d -n 2")
    ->Name("BZip2Decompress/lbzip2_-d_-n_2")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(Ours<0>)
    ->Name("BZip2Decompress/ours_1_thread_again")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(SingleStream)
    ->Name("BZip2Decompress/libbz2_single_stream_again")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(Ours<2>)
    ->Name("BZip2Decompress/parallel_2_threads_again")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_MAIN();
