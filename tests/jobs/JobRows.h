#pragma once
// What the job and tool tests set up alike: the options of a plain job and the rows of
// the round trips.
#include <cstddef>
#include <string>
#include <vector>

#include "jobs/Jobs.h"

namespace lwtest {

// A job on source with the phrase and cipher; the other options keep their defaults.
inline lw::TJobOptions JobOptions(const std::string& source, const std::string& phrase, int cipher,
                                  bool compress = false)
{
    lw::TJobOptions options;
    options.SourcePath = source;
    options.KeyPhrase = phrase;
    options.CipherIndex = cipher;
    options.Compress = compress;
    return options;
}

// Decrypted ".fe2" output shorter than this cannot be told from noise: the job warns.
constexpr size_t kShortestJudgedText = 16;
inline const char* const kDoubtWarning =
    "The decrypted file does not look like any known kind of file. The key phrase or the cipher may be wrong.";

// Whether a correct decryption of a row's file still draws the warning.
inline bool TooShortToJudge(bool compress, size_t size)
{
    return !compress && size > 0 && size < kShortestJudgedText;
}

// The four kinds of job: encrypt or decrypt, to or from either format.
struct JobShape {
    bool encrypt;
    bool compressed;
};
inline constexpr JobShape kJobShapes[] = {{true, false}, {true, true}, {false, false}, {false, true}};

inline std::string ShapeName(const JobShape& s)
{
    return std::string(s.encrypt ? "encrypt" : "decrypt") + (s.compressed ? " fez" : " fe2");
}

constexpr size_t kFewMiB = 3 * 1024 * 1024 + 5;

struct RoundTripRow {
    int cipher;
    bool compress;
    size_t size;
};

// Every cipher in both formats, at the sizes around a block and a piece and at a few MiB.
inline std::vector<RoundTripRow> AllRoundTrips()
{
    std::vector<RoundTripRow> rows;
    for (int cipher = 0; cipher < 4; ++cipher)
        for (bool compress : {false, true})
            for (size_t size : {0, 1, 15, 16, 17, 8191, 8192, 8193, int(kFewMiB)})
                rows.push_back({cipher, compress, size});
    return rows;
}

} // namespace lwtest
