// How long judging a decrypted output takes on 64 KiB, libmagic's handle and database load
// included (JudgeContent opens its own each time): random bytes (a wrong key: the whole
// database runs once, and the signature probes run when it recognises something), text
// (decided before libmagic), and random bytes behind a PNG header (the signature probes);
// beside them the same on one reused handle and a fresh handle's single look.
// CipherThatFits runs three such trials.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "jobs/Plausibility.h"
#include "platform/FileKind.h"

namespace {

std::vector<uint8_t> Random(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

void JudgeRandom(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> inputs;
    for (uint32_t seed = 0; seed < 64; ++seed)
        inputs.push_back(Random(lw::kJudgedBytes, seed));
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(lw::JudgeContent(inputs[i++ % inputs.size()]));
}
BENCHMARK(JudgeRandom)->Unit(benchmark::kMillisecond);

void JudgeRandomOnOneHandle(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> inputs;
    for (uint32_t seed = 0; seed < 64; ++seed)
        inputs.push_back(Random(lw::kJudgedBytes, seed));
    lw::TFileKinds kinds;
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(lw::JudgeContent(inputs[i++ % inputs.size()], kinds));
}
BENCHMARK(JudgeRandomOnOneHandle)->Unit(benchmark::kMillisecond);

void JudgeText(benchmark::State& state)
{
    const std::string line = "The hallway smelt of boiled cabbage and old rag mats.\n";
    std::vector<uint8_t> text;
    while (text.size() < lw::kJudgedBytes)
        text.insert(text.end(), line.begin(), line.end());
    text.resize(lw::kJudgedBytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(lw::JudgeContent(text));
}
BENCHMARK(JudgeText)->Unit(benchmark::kMillisecond);

void JudgePngHeaderOnRandom(benchmark::State& state)
{
    std::vector<uint8_t> bytes = Random(lw::kJudgedBytes, 1);
    const uint8_t header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D',
                              'R',  0,   0,   1,   0,    0,    0,    1,    0, 8, 2, 0,  0,   0};
    std::copy(std::begin(header), std::end(header), bytes.begin());
    for (auto _ : state)
        benchmark::DoNotOptimize(lw::JudgeContent(bytes));
}
BENCHMARK(JudgePngHeaderOnRandom)->Unit(benchmark::kMillisecond);

void FreshHandleOneLook(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = Random(lw::kJudgedBytes, 3);
    for (auto _ : state) {
        lw::TFileKinds kinds;
        benchmark::DoNotOptimize(kinds.MediaType(bytes));
    }
}
BENCHMARK(FreshHandleOneLook)->Unit(benchmark::kMillisecond);

void FitAmongThreeWrongCiphers(benchmark::State& state)
{
    const std::vector<uint8_t> encrypted = Random(lw::kJudgedBytes, 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(lw::CipherThatFits(encrypted, "phrase", 0, false));
}
BENCHMARK(FitAmongThreeWrongCiphers)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
