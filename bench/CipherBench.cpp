// MB/s of StreamEncrypt and StreamDecrypt over a 64 MiB memory stream, per cipher.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

namespace {

constexpr int64_t kSize = 64 << 20;

lw::TMemoryStream& Source()
{
    static lw::TMemoryStream* stream = [] {
        auto* s = new lw::TMemoryStream;
        std::vector<uint8_t> data(kSize);
        std::mt19937 rng(1);
        for (auto& b : data)
            b = static_cast<uint8_t>(rng());
        s->Write(data);
        return s;
    }();
    return *stream;
}

template <class Cipher, bool Encrypt>
void StreamCipher(benchmark::State& state)
{
    lw::TMemoryStream& in = Source();
    lw::TMemoryStream out;
    out.SetSize(kSize);
    Cipher cipher;
    for (auto _ : state) {
        cipher.SetKeyFromPhrase("benchmark phrase", lw::HashClass<lw::TDCP_sha1>());
        in.SetPosition(0);
        out.SetPosition(0);
        if (Encrypt)
            cipher.StreamEncrypt(in, out, kSize);
        else
            cipher.StreamDecrypt(in, out, kSize);
        benchmark::DoNotOptimize(out.Data().data());
    }
    cipher.Wipe();
    state.SetBytesProcessed(state.iterations() * kSize);
}

} // namespace

BENCHMARK(StreamCipher<lw::TDCP_rc4, true>)->Name("RC4/encrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_rc4, false>)->Name("RC4/decrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_blowfish, true>)->Name("Blowfish/encrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_blowfish, false>)->Name("Blowfish/decrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_serpent, true>)->Name("Serpent/encrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_serpent, false>)->Name("Serpent/decrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_rijndael, true>)->Name("Rijndael/encrypt")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamCipher<lw::TDCP_rijndael, false>)->Name("Rijndael/decrypt")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
