#pragma once
// What the bench programs share: quiet doubles for whole jobs, a text-like source file and
// the peak memory for the job benches; the random buffer, the phrase key and the piece loop
// for the cipher benches beside their peers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if __has_include(<gcrypt.h>)
#include <gcrypt.h>
#endif

#include "crypto/Cipher.h"
#include "crypto/Sha1.h"
#include "jobs/Jobs.h"

namespace lwbench {

// Remembers the error box's text; every box is answered with OK.
class QuietAsk final : public lw::IAskUser {
public:
    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons) override
    {
        if (kind == lw::TMsgDlgType::mtError)
            failure = text;
        return lw::mbOK;
    }
    std::string failure;
};

class NoHandOff final : public lw::IHandOff {
public:
    void PutFileOnClipboard(const std::string&) override {}
    bool SendFileToMailClient(const std::string&) override { return false; }
    void OpenWithAssociatedApp(const std::string&) override {}
    void ProcessPendingEvents() override {}
};

inline int64_t EnvNumber(const char* name, int64_t fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoll(v) : fallback;
}

// A folder of this process's own under the temp dir, with enc/ and dec/ in it.
inline std::filesystem::path MakeWorkDir(const std::string& prefix)
{
    std::filesystem::path d = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
    std::filesystem::create_directories(d / "enc");
    std::filesystem::create_directories(d / "dec");
    return d;
}

// Text-like data: words from a small vocabulary, so compression does real work, and now
// and then a number, to keep it from being trivial. The same bytes every run.
inline void WriteTextLike(const std::string& path, int64_t bytes)
{
    static const char* words[] = {"lorem ",      "ipsum ", "dolor ",  "sit ", "amet, ",   "consectetur ",
                                  "adipiscing ", "elit. ", "sed ",    "do ",  "eiusmod ", "tempor ",
                                  "incididunt ", "ut ",    "labore ", "et\n"};
    std::ofstream out(path, std::ios::binary);
    std::string chunk;
    uint32_t seed = 12345;
    for (int64_t written = 0; written < bytes;) {
        chunk.clear();
        while (chunk.size() < (1u << 20)) {
            seed = seed * 1664525u + 1013904223u;
            chunk += words[seed >> 28];
            if ((seed >> 20 & 0xFF) == 0)
                chunk += std::to_string(seed % 100000) + " ";
        }
        const auto n = static_cast<std::streamsize>(std::min<int64_t>(chunk.size(), bytes - written));
        out.write(chunk.data(), n);
        written += n;
    }
}

// The process's peak resident memory (VmHWM) since the last ResetPeak.
inline int64_t PeakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atoll(line.c_str() + 6);
    return -1;
}

inline void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// main of a job bench: cases registered at run time, a table after the runs, and the work
// folder removed at the end.
inline int RunJobBench(int argc, char** argv, void (*registerCases)(), void (*printTable)(),
                       const std::filesystem::path& (*workDir)())
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerCases();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable();
    std::error_code ec;
    std::filesystem::remove_all(workDir(), ec);
    return 0;
}

constexpr size_t kPiece = lw::TDCP_cipher::kStreamPiece;
constexpr size_t kSize = 4 << 20;
inline constexpr char kPhrase[] = "benchmark phrase";

inline std::vector<uint8_t>& Buffer()
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

// The 160-bit digest of kPhrase: the key the product derives, given to the peers too.
inline std::vector<uint8_t> PhraseDigest()
{
    lw::TDCP_sha1 sha;
    sha.Init();
    const std::string phrase = kPhrase;
    sha.Update({reinterpret_cast<const uint8_t*>(phrase.data()), phrase.size()});
    std::vector<uint8_t> digest(20);
    sha.Final(digest);
    return digest;
}

// Each round runs piece(p) over the whole buffer, in place, kPiece bytes at p each time.
template <class Piece>
void RunInPieces(benchmark::State& state, Piece piece)
{
    auto& buf = Buffer();
    for (auto _ : state) {
        for (size_t off = 0; off < kSize; off += kPiece)
            piece(buf.data() + off);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

// The cipher's own Encrypt or Decrypt over the buffer in pieces.
inline void RunCipherInPieces(benchmark::State& state, lw::TDCP_cipher& c, bool encrypt)
{
    RunInPieces(state, [&](uint8_t* p) {
        if (encrypt)
            c.Encrypt(p, p, kPiece);
        else
            c.Decrypt(p, p, kPiece);
    });
}

#if __has_include(<gcrypt.h>)
// libgcrypt wants its start-up calls once, before the first cipher is opened.
inline void InitGcrypt()
{
    static const bool ready = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
}

inline void RunGcryptInPieces(benchmark::State& state, gcry_cipher_hd_t h, bool encrypt)
{
    RunInPieces(state, [&](uint8_t* p) {
        if (encrypt)
            gcry_cipher_encrypt(h, p, kPiece, nullptr, 0);
        else
            gcry_cipher_decrypt(h, p, kPiece, nullptr, 0);
    });
}
#endif

} // namespace lwbench
