// Rijndael (AES-192-CBC, the key SetKeyFromPhrase makes) in 8 KiB pieces: our StreamEncrypt
// and StreamDecrypt over memory streams beside OpenSSL (EVP) and libgcrypt in the same run.
// Compare the MB/s of rows with the same work; repeat to see the spread.
#include <benchmark/benchmark.h>

#include <gcrypt.h>
#include <openssl/evp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "crypto/CpuFeatures.h"
#include "crypto/Rijndael.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

namespace {

using lwbench::Buffer;
using lwbench::kPhrase;
using lwbench::kPiece;
using lwbench::kSize;
using lwbench::RunInPieces;

// The 160-bit digest key, zero-padded to the 192 bits the cipher runs with.
std::vector<uint8_t> PhraseKey()
{
    std::vector<uint8_t> key = lwbench::PhraseDigest();
    key.resize(24, 0);
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
    lw::TDCP_rijndael cipher;
    cipher.SetKeyFromPhrase(kPhrase, lw::HashClass<lw::TDCP_sha1>());
    RunInPieces(state, [&](uint8_t* p) {
        if (encrypt)
            cipher.Encrypt(p, p, kPiece);
        else
            cipher.Decrypt(p, p, kPiece);
    });
    cipher.Wipe();
}

void OpenSsl(benchmark::State& state, bool encrypt)
{
    const std::vector<uint8_t> key = PhraseKey();
    const uint8_t iv[16] = {};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_192_cbc(), nullptr, key.data(), iv, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int outLen = 0;
    RunInPieces(state, [&](uint8_t* p) { EVP_CipherUpdate(ctx, p, &outLen, p, kPiece); });
    EVP_CIPHER_CTX_free(ctx);
}

void Gcrypt(benchmark::State& state, bool encrypt)
{
    lwbench::InitGcrypt();
    const std::vector<uint8_t> key = PhraseKey();
    const uint8_t iv[16] = {};
    gcry_cipher_hd_t h;
    if (gcry_cipher_open(&h, GCRY_CIPHER_AES192, GCRY_CIPHER_MODE_CBC, 0) != 0) {
        state.SkipWithError("libgcrypt cipher not available");
        return;
    }
    gcry_cipher_setkey(h, key.data(), key.size());
    gcry_cipher_setiv(h, iv, sizeof(iv));
    lwbench::RunGcryptInPieces(state, h, encrypt);
    gcry_cipher_close(h);
}

} // namespace

BENCHMARK_CAPTURE(Lockwell, enc, true, false)->Name("RijndaelCBC/encrypt/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, enc, true)->Name("RijndaelCBC/encrypt/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, enc, true)->Name("RijndaelCBC/encrypt/libgcrypt");
BENCHMARK_CAPTURE(InPlace, enc, true)->Name("RijndaelCBC/encrypt/in-place-calls");
BENCHMARK_CAPTURE(Lockwell, enc_small, true, false, 256 << 10)->Name("RijndaelCBC/encrypt/stream-256KiB");
BENCHMARK_CAPTURE(Lockwell, enc_table, true, true)->Name("RijndaelCBC/encrypt/table-fallback");
BENCHMARK_CAPTURE(Lockwell, dec, false, false)->Name("RijndaelCBC/decrypt/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, dec, false)->Name("RijndaelCBC/decrypt/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, dec, false)->Name("RijndaelCBC/decrypt/libgcrypt");
BENCHMARK_CAPTURE(InPlace, dec, false)->Name("RijndaelCBC/decrypt/in-place-calls");
BENCHMARK_CAPTURE(Lockwell, dec_small, false, false, 256 << 10)->Name("RijndaelCBC/decrypt/stream-256KiB");
BENCHMARK_CAPTURE(Lockwell, dec_table, false, true)->Name("RijndaelCBC/decrypt/table-fallback");

BENCHMARK_MAIN();
