// Blowfish-CBC and RC4 in 8 KiB pieces, ours beside OpenSSL (EVP) and libgcrypt in the
// same run. Compare the MB/s of rows with the same work; repeat to see the spread.
#include <benchmark/benchmark.h>

#include <gcrypt.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "BenchUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Sha1.h"

namespace {

using lwbench::kPiece;
using lwbench::RunInPieces;

template <class Cipher, bool Encrypt>
void Lockwell(benchmark::State& state)
{
    Cipher cipher;
    cipher.SetKeyFromPhrase(lwbench::kPhrase, lw::HashClass<lw::TDCP_sha1>());
    lwbench::RunCipherInPieces(state, cipher, Encrypt);
    cipher.Wipe();
}

const EVP_CIPHER* LegacyCipher(const char* name)
{
    static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    static OSSL_PROVIDER* base = OSSL_PROVIDER_load(nullptr, "default");
    if (!legacy || !base)
        throw std::runtime_error("no legacy provider");
    return EVP_CIPHER_fetch(nullptr, name, nullptr);
}

void OpenSsl(benchmark::State& state, const char* name, bool encrypt)
{
    const std::vector<uint8_t> key = lwbench::PhraseDigest();
    const uint8_t iv[8] = {};
    const EVP_CIPHER* cipher = LegacyCipher(name);
    if (!cipher) {
        state.SkipWithError("cipher not available");
        return;
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size()));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_CipherInit_ex(ctx, nullptr, nullptr, key.data(), iv, encrypt ? 1 : 0);
    int outLen = 0;
    RunInPieces(state, [&](uint8_t* p) { EVP_CipherUpdate(ctx, p, &outLen, p, kPiece); });
    EVP_CIPHER_CTX_free(ctx);
}

void Gcrypt(benchmark::State& state, int algo, int mode, bool encrypt)
{
    lwbench::InitGcrypt();
    const std::vector<uint8_t> key = lwbench::PhraseDigest();
    const uint8_t iv[8] = {};
    gcry_cipher_hd_t h;
    if (gcry_cipher_open(&h, algo, mode, 0) != 0 || gcry_cipher_setkey(h, key.data(), 16) != 0) {
        state.SkipWithError("libgcrypt cipher not available");
        return;
    }
    if (mode == GCRY_CIPHER_MODE_CBC)
        gcry_cipher_setiv(h, iv, sizeof(iv));
    lwbench::RunGcryptInPieces(state, h, encrypt);
    gcry_cipher_close(h);
}

} // namespace

BENCHMARK(Lockwell<lw::TDCP_blowfish, true>)->Name("BlowfishCBC/encrypt/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, bf_enc, "BF-CBC", true)->Name("BlowfishCBC/encrypt/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, bf_enc, GCRY_CIPHER_BLOWFISH, GCRY_CIPHER_MODE_CBC, true)
    ->Name("BlowfishCBC/encrypt/libgcrypt");
BENCHMARK(Lockwell<lw::TDCP_blowfish, false>)->Name("BlowfishCBC/decrypt/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, bf_dec, "BF-CBC", false)->Name("BlowfishCBC/decrypt/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, bf_dec, GCRY_CIPHER_BLOWFISH, GCRY_CIPHER_MODE_CBC, false)
    ->Name("BlowfishCBC/decrypt/libgcrypt");
BENCHMARK(Lockwell<lw::TDCP_rc4, true>)->Name("RC4/Lockwell");
BENCHMARK_CAPTURE(OpenSsl, rc4, "RC4", true)->Name("RC4/OpenSSL");
BENCHMARK_CAPTURE(Gcrypt, rc4, GCRY_CIPHER_ARCFOUR, GCRY_CIPHER_MODE_STREAM, true)->Name("RC4/libgcrypt");

BENCHMARK_MAIN();
