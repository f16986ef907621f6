// MB/s of SortRotations on one 500,000-byte block of each kind, and of libbz2 compressing the
// same block at level 5 (BZ2_bzBuffToBuffCompress: its own block sort, then the coding).
// Text-like is the job benches' text; binary-like mixes little-endian words, opcode-like
// bytes, zero padding and strings; the last kinds are runs and near-periodic blocks that slow
// naive sorters down.
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

namespace {

constexpr size_t kBlock = 500000;
using Block = std::vector<uint8_t>;

Block TextLike()
{
    const std::string path = (std::filesystem::temp_directory_path() / "lockwell-blocksort-text").string();
    lwbench::WriteTextLike(path, kBlock);
    std::ifstream in(path, std::ios::binary);
    Block b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return b;
}

Block Random()
{
    Block b(kBlock);
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
    for (uint32_t record = 0; b.size() < kBlock; ++record) {
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
    b.resize(kBlock);
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

void Ours(benchmark::State& state, const Block& block)
{
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
    for (const auto& [name, block] : kinds) {
        benchmark::RegisterBenchmark((std::string("BlockSort/") + name + "/Lockwell").c_str(), Ours, block)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BlockSort/") + name + "/libbz2_level5").c_str(), Library, block)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
