// Serpent-CBC in 8 KiB pieces, ours beside libgcrypt in the same run, plus ours at each
// vector level. Compare the MB/s of rows with the same work; repeat to see the spread.
#include <benchmark/benchmark.h>

#include <gcrypt.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crypto/Serpent.h"
#include "crypto/Sha1.h"

namespace {

constexpr size_t kPiece = lw::TDCP_cipher::kStreamPiece;
constexpr size_t kSize = 4 << 20;
const std::string kPhrase = "benchmark phrase";

std::vector<uint8_t>& Buffer()
{
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(kSize);
        std::mt19937 rng(1);
        for (auto& b : d)
            b = static_cast<uint8_t>(rng());
        return d;
    }();
    return data;
}

// The key the product derives from the phrase, given to the peer too.
std::vector<uint8_t> PhraseKey()
{
    lw::TDCP_sha1 sha;
    sha.Init();
    sha.Update({reinterpret_cast<const uint8_t*>(kPhrase.data()), kPhrase.size()});
    std::vector<uint8_t> digest(20);
    sha.Final(digest);
    return digest;
}

void Lockwell(benchmark::State& state, bool encrypt, lw::TSerpentLanes cap)
{
    auto& buf = Buffer();
    lw::TDCP_serpent cipher;
    cipher.LimitLanes(cap);
    if (cipher.Lanes() != cap) {
        state.SkipWithError("level not available on this CPU");
        return;
    }
    cipher.SetKeyFromPhrase(kPhrase, lw::HashClass<lw::TDCP_sha1>());
    lw::TDCP_cipher& c = cipher;
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece) {
            if (encrypt)
                c.Encrypt(buf.data() + off, buf.data() + off, kPiece);
            else
                c.Decrypt(buf.data() + off, buf.data() + off, kPiece);
        }
        benchmark::DoNotOptimize(buf.data());
    }
    cipher.Wipe();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void Gcrypt(benchmark::State& state, bool encrypt)
{
    static const bool ready = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
    auto& buf = Buffer();
    std::vector<uint8_t> key = PhraseKey();
    key.resize(32); // same round count for every key size; the peer takes 128/192/256 bits
    const uint8_t iv[16] = {};
    gcry_cipher_hd_t h;
    if (gcry_cipher_open(&h, GCRY_CIPHER_SERPENT256, GCRY_CIPHER_MODE_CBC, 0) != 0 ||
        gcry_cipher_setkey(h, key.data(), key.size()) != 0 || gcry_cipher_setiv(h, iv, sizeof(iv)) != 0) {
        state.SkipWithError("libgcrypt Serpent not available");
        return;
    }
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece) {
            if (encrypt)
                gcry_cipher_encrypt(h, buf.data() + off, kPiece, nullptr, 0);
            else
                gcry_cipher_decrypt(h, buf.data() + off, kPiece, nullptr, 0);
        }
        benchmark::DoNotOptimize(buf.data());
    }
    gcry_cipher_close(h);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

constexpr auto kBest = lw::TSerpentLanes::Avx512;

} // namespace

// Ours at the level this CPU picks, then the peer, alternating so both see the same load.
BENCHMARK_CAPTURE(Lockwell, enc, true, lw::SerpentLanes(kBest))->Name("SerpentCBC/encrypt/Lockwell");
BENCHMARK_CAPTURE(Gcrypt, enc, true)->Name("SerpentCBC/encrypt/libgcrypt");
BENCHMARK_CAPTURE(Lockwell, dec, false, lw::SerpentLanes(kBest))->Name("SerpentCBC/decrypt/Lockwell");
BENCHMARK_CAPTURE(Gcrypt, dec, false)->Name("SerpentCBC/decrypt/libgcrypt");

// Every level, forced.
BENCHMARK_CAPTURE(Lockwell, enc_scalar, true, lw::TSerpentLanes::Scalar)->Name("SerpentLevels/encrypt/scalar");
BENCHMARK_CAPTURE(Lockwell, enc_avx512, true, lw::TSerpentLanes::Avx512)->Name("SerpentLevels/encrypt/AVX-512");
BENCHMARK_CAPTURE(Lockwell, dec_scalar, false, lw::TSerpentLanes::Scalar)->Name("SerpentLevels/decrypt/scalar");
BENCHMARK_CAPTURE(Lockwell, dec_sse2, false, lw::TSerpentLanes::Sse2)->Name("SerpentLevels/decrypt/SSE2");
BENCHMARK_CAPTURE(Lockwell, dec_avx2, false, lw::TSerpentLanes::Avx2)->Name("SerpentLevels/decrypt/AVX2");
BENCHMARK_CAPTURE(Lockwell, dec_avx512, false, lw::TSerpentLanes::Avx512)->Name("SerpentLevels/decrypt/AVX-512");

BENCHMARK_MAIN();
