// Rijndael (AES-192-CBC, the key SetKeyFromPhrase makes) in 8 KiB pieces: our StreamEncrypt
// and StreamDecrypt over memory streams beside OpenSSL (EVP) and libgcrypt in the same run.
// Compare the MB/s of rows with the same work; repeat to see the spread.
#include <benchmark/benchmark.h>

#include <gcrypt.h>
#include <openssl/evp.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crypto/CpuFeatures.h"
#include "crypto/Rijndael.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

namespace {

constexpr size_t kPiece = lw::TDCP_cipher::kStreamPiece;
constexpr size_t kSize = 4 << 20;
constexpr char kPhrase[] = "benchmark phrase";

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

// The 160-bit digest key, zero-padded to the 192 bits the cipher runs with.
std::vector<uint8_t> PhraseKey()
{
    lw::TDCP_sha1 sha;
    sha.Init();
    const std::string phrase = kPhrase;
    sha.Update({reinterpret_cast<const uint8_t*>(phrase.data()), phrase.size()});
    std::vector<uint8_t> key(24, 0);
    sha.Final(std::span(key.data(), 20));
    return key;
}

// size below kSize: streams that stay in the cache, to show what the copies cost.
void Lockwell(benchmark::State& state, bool encrypt, bool table, size_t size = kSize)
{
    lw::TMemoryStream in;
    in.Write(std::span(Buffer().data(), size));
    lw::TMemoryStream out;
    out.SetSize(static_cast<int64_t>(size));
    lw::TDCP_rijndael cipher;
    cipher.SetKeyFromPhrase(kPhrase, lw::HashClass<lw::TDCP_sha1>());
    lw::ForceNoCpuFeatures(table);
    for (auto _ : state) {
        in.SetPosition(0);
        out.SetPosition(0);
        if (encrypt)
            cipher.StreamEncrypt(in, out, size);
        else
            cipher.StreamDecrypt(in, out, size);
        benchmark::DoNotOptimize(out.Data().data());
    }
    lw::ForceNoCpuFeatures(false);
    cipher.Wipe();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The same pieces without the streams: what the copies in and out cost.
void InPlace(benchmark::State& state, bool encrypt)
{
    auto& buf = Buffer();
    lw::TDCP_rijndael cipher;
    cipher.SetKeyFromPhrase(kPhrase, lw::HashClass<lw::TDCP_sha1>());
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece) {
            if (encrypt)
                cipher.Encrypt(buf.data() + off, buf.data() + off, kPiece);
            else
                cipher.Decrypt(buf.data() + off, buf.data() + off, kPiece);
        }
        benchmark::DoNotOptimize(buf.data());
    }
    cipher.Wipe();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void OpenSsl(benchmark::State& state, bool encrypt)
{
    auto& buf = Buffer();
    const std::vector<uint8_t> key = PhraseKey();
    const uint8_t iv[16] = {};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_192_cbc(), nullptr, key.data(), iv, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int outLen = 0;
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece)
            EVP_CipherUpdate(ctx, buf.data() + off, &outLen, buf.data() + off, kPiece);
        benchmark::DoNotOptimize(buf.data());
    }
    EVP_CIPHER_CTX_free(ctx);
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
    const std::vector<uint8_t> key = PhraseKey();
    const uint8_t iv[16] = {};
    gcry_cipher_hd_t h;
    if (gcry_cipher_open(&h, GCRY_CIPHER_AES192, GCRY_CIPHER_MODE_CBC, 0) != 0) {
        state.SkipWithError("libgcrypt cipher not available");
        return;
    }
    gcry_cipher_setkey(h, key.data(), key.size());
    gcry_cipher_setiv(h, iv, sizeof(iv));
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

} // namespace

BENCHMARK_CAPTURE(Lockwell, enc, true, false)->Name("RijndaelCBC/encrypt/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, enc, true)->Name("RijndaelCBC/encrypt/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, enc, true)->Name("RijndaelCBC/encrypt/libgcrypt");
BENCHMARK_CAPTURE(InPlace, enc, true)->Name("RijndaelCBC/encrypt/in-place-calls");
BENCHMARK_CAPTURE(Lockwell, enc_small, true, false, 256 << 10)
    ->Name("RijndaelCBC/encrypt/stream-256KiB");
BENCHMARK_CAPTURE(Lockwell, enc_table, true, true)->Name("RijndaelCBC/encrypt/table-fallback");
BENCHMARK_CAPTURE(Lockwell, dec, false, false)->Name("RijndaelCBC/decrypt/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, dec, false)->Name("RijndaelCBC/decrypt/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, dec, false)->Name("RijndaelCBC/decrypt/libgcrypt");
BENCHMARK_CAPTURE(InPlace, dec, false)->Name("RijndaelCBC/decrypt/in-place-calls");
BENCHMARK_CAPTURE(Lockwell, dec_small, false, false, 256 << 10)
    ->Name("RijndaelCBC/decrypt/stream-256KiB");
BENCHMARK_CAPTURE(Lockwell, dec_table, false, true)->Name("RijndaelCBC/decrypt/table-fallback");

BENCHMARK_MAIN();
