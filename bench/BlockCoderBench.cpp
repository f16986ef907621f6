// The bzip2 encode rate at level 5, one thread, on 4 MB (eight blocks) of each kind: our
// compressor (our block coder), libbz2 in one call, and lbzip2 -5 -n1 as a whole process
// when it is installed (other bytes: a peer only). Beside them, our block sort alone on the
// first 500,000 bytes. Text-like is the job benches' text; binary-like mixes little-endian
// words, opcode-like bytes, zero padding and strings; the last kinds are runs and
// near-periodic blocks that slow naive sorters down.
#include <benchmark/benchmark.h>

#include <bzlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "compress/BZip2BlockSort.h"
#include "compress/ParallelBZip2Compressor.h"
#include "platform/MemoryStream.h"

namespace {

constexpr size_t kBlock = 500000;
constexpr size_t kLength = 8 * kBlock;
using Block = std::vector<uint8_t>;

Block TextLike()
{
    const std::string path = (std::filesystem::temp_directory_path() / "lockwell-blocksort-text").string();
    lwbench::WriteTextLike(path, kLength);
    std::ifstream in(path, std::ios::binary);
    Block b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return b;
}

Block Random()
{
    Block b(kLength);
    std::mt19937 rng(7);
    for (auto& x : b)
        x = static_cast<uint8_t>(rng());
    return b;
}

// Records as a program's data and code might hold them: counters and small offsets as
// 32-bit words, a few frequent opcodes with random operands, padding, and names.
Block BinaryLike()
{
    static const uint8_t ops[] = {0x48, 0x89, 0x8b, 0xe8, 0xc3, 0x0f, 0x85, 0x74, 0xff, 0x41};
    static const char* names[] = {"SortRotations", "lastColumn", "origin", ".text", "GLIBC_2.34", "_ZNSt6vector"};
    Block b;
    std::mt19937 rng(11);
    for (uint32_t record = 0; b.size() < kLength; ++record) {
        switch (rng() % 4) {
        case 0:
            for (uint32_t word : {record, static_cast<uint32_t>(rng() % 4096), 0u})
                for (int shift = 0; shift < 32; shift += 8)
                    b.push_back(static_cast<uint8_t>(word >> shift));
            break;
        case 1:
            for (int i = 0; i < 12; ++i)
                b.push_back(rng() % 3 ? ops[rng() % std::size(ops)] : static_cast<uint8_t>(rng()));
            break;
        case 2: b.insert(b.end(), rng() % 16, uint8_t{0}); break;
        default: {
            const std::string name = names[rng() % std::size(names)];
            b.insert(b.end(), name.begin(), name.end() + 1);
        }
        }
    }
    b.resize(kLength);
    return b;
}

Block RunThenOther()
{
    Block b(kBlock, 'a');
    b.back() = 'b';
    return b;
}

Block TwoPeriodicOneChange()
{
    Block b(kBlock);
    for (size_t i = 0; i < kBlock; ++i)
        b[i] = i % 2 ? 'b' : 'a';
    b[kBlock / 2 + 1] = 'a';
    return b;
}

void Sort(benchmark::State& state, const Block& data)
{
    const std::span<const uint8_t> block = std::span(data).first(std::min(kBlock, data.size()));
    lw::bz::TBlockSortWork work;
    Block last(block.size());
    uint32_t origin = 0;
    for (auto _ : state) {
        if (!lw::bz::SortRotations(block, last, origin, work))
            throw std::logic_error("block repeats a shorter string");
        benchmark::DoNotOptimize(last.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
}

void Ours(benchmark::State& state, const Block& data)
{
    for (auto _ : state) {
        lw::TMemoryStream out;
        lw::TParallelBZCompressor packer(lw::TBlockSize100k::bs5, out, 1);
        packer.WriteBuffer(data);
        packer.Finish();
        benchmark::DoNotOptimize(out.Data().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void Lbzip2(benchmark::State& state, const std::string& file, size_t size)
{
    const std::string command = "lbzip2 -5 -n1 -c '" + file + "' >/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error(command + " failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void Library(benchmark::State& state, const Block& block)
{
    std::vector<char> out(block.size() + block.size() / 100 + 600);
    std::vector<char> in(block.begin(), block.end());
    for (auto _ : state) {
        auto size = static_cast<unsigned>(out.size());
        if (BZ2_bzBuffToBuffCompress(out.data(), &size, in.data(), static_cast<unsigned>(in.size()), 5, 0, 30) != BZ_OK)
            throw std::runtime_error("BZ2_bzBuffToBuffCompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    static const std::pair<const char*, Block> kinds[] = {
        {"text", TextLike()},
        {"random", Random()},
        {"binary", BinaryLike()},
        {"run_then_other", RunThenOther()},
        {"two_periodic_one_change", TwoPeriodicOneChange()},
    };
    const bool lbzip2 = std::system("lbzip2 --version >/dev/null 2>&1") == 0;
    const std::filesystem::path dir = lwbench::MakeWorkDir("lockwell-blockcoder-");
    for (const auto& [name, data] : kinds) {
        const std::string kind = std::string("BlockCoder/") + name;
        // Wall time: our coder and lbzip2 run outside this thread.
        benchmark::RegisterBenchmark((kind + "/Lockwell").c_str(), Ours, data)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((kind + "/libbz2_level5").c_str(), Library, data)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        if (lbzip2) {
            const std::string file = (dir / name).string();
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
            benchmark::RegisterBenchmark((kind + "/lbzip2_n1").c_str(), Lbzip2, file, data.size())
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark((kind + "/sort_only").c_str(), Sort, data)->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
