// Blowfish-CBC and RC4 in 8 KiB pieces, ours beside OpenSSL (EVP) and libgcrypt in the
// same run. Compare the MB/s of rows with the same work; repeat to see the spread.
#include <benchmark/benchmark.h>

#include <gcrypt.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Sha1.h"

namespace {

constexpr size_t kPiece = lw::TDCP_cipher::kStreamPiece;
constexpr size_t kSize = 4 << 20;

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

// The key the product derives from the phrase, given to the peers too.
std::vector<uint8_t> PhraseKey()
{
    lw::TDCP_sha1 sha;
    sha.Init();
    const std::string phrase = "benchmark phrase";
    sha.Update({reinterpret_cast<const uint8_t*>(phrase.data()), phrase.size()});
    std::vector<uint8_t> digest(20);
    sha.Final(digest);
    return digest;
}

template <class Cipher, bool Encrypt>
void Lockwell(benchmark::State& state)
{
    auto& buf = Buffer();
    Cipher cipher;
    cipher.SetKeyFromPhrase("benchmark phrase", lw::HashClass<lw::TDCP_sha1>());
    lw::TDCP_cipher& c = cipher;
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece) {
            if (Encrypt)
                c.Encrypt(buf.data() + off, buf.data() + off, kPiece);
            else
                c.Decrypt(buf.data() + off, buf.data() + off, kPiece);
        }
        benchmark::DoNotOptimize(buf.data());
    }
    cipher.Wipe();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
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
    auto& buf = Buffer();
    const std::vector<uint8_t> key = PhraseKey();
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
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece)
            EVP_CipherUpdate(ctx, buf.data() + off, &outLen, buf.data() + off, kPiece);
        benchmark::DoNotOptimize(buf.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void Gcrypt(benchmark::State& state, int algo, int mode, bool encrypt)
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
    const uint8_t iv[8] = {};
    gcry_cipher_hd_t h;
    if (gcry_cipher_open(&h, algo, mode, 0) != 0 || gcry_cipher_setkey(h, key.data(), 16) != 0) {
        state.SkipWithError("libgcrypt cipher not available");
        return;
    }
    if (mode == GCRY_CIPHER_MODE_CBC)
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
