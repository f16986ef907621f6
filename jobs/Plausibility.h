#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/PhraseSpellings.h"
#include "platform/FileKind.h"

// Whether a decryption looks like a file, and which cipher would have made it one: a
// ".fe2" file carries no header, so a wrong phrase or cipher gives garbage of the same length.
namespace lw {

enum class TPlausibility { Plausible, Doubtful };

// The most of an output that is judged; more bytes are ignored.
inline constexpr size_t kJudgedBytes = 64 * 1024;

// The first bytes of a decrypted output: Plausible when they are text, a recognised kind of
// file or far from uniformly random; Doubtful when random-looking and recognised as nothing,
// or too short to tell and not text. Empty is Plausible: an empty file decrypts to one.
TPlausibility JudgeContent(std::span<const uint8_t> head);
// The same with the caller's libmagic handle, for callers that judge many outputs on one
// thread: a fresh handle faults the whole database in again on its first look.
TPlausibility JudgeContent(std::span<const uint8_t> head, TFileKinds& kinds);

// Decrypts the encrypted file's first bytes (up to kJudgedBytes, as the jobs would) with each
// cipher other than triedCipher and returns the first whose result fits: a bzip2 stream's start
// for ".fez" (compressed), plausible content for ".fe2". Only bytes that do not depend on where
// the file ends are judged, so a file shorter than one block of a cipher never fits it.
std::optional<int32_t> CipherThatFits(std::span<const uint8_t> encryptedHead, std::string_view phrase,
                                      int32_t triedCipher, bool compressed);

// Whether the first bytes decrypt with this very cipher to what a ".fe2" holds: plausible
// content where a ".fez" would have a compressed stream.
bool FitsUncompressed(std::span<const uint8_t> encryptedHead, std::string_view phrase, int32_t cipher);

// The same for the phrase's other spellings (as other systems write its characters) with
// the cipher chosen: the first whose result fits.
std::optional<TPhraseSpelling> SpellingThatFits(std::span<const uint8_t> encryptedHead, std::string_view phrase,
                                                int32_t cipher, bool compressed);

// "RC4", "Blowfish", "Serpent", "Rijndael"; empty for any other index.
std::string CipherName(int32_t index);
// "It looks like a file encrypted with <Name>." or empty.
std::string FitHint(std::optional<int32_t> cipher);

// The separate tests JudgeContent combines.
namespace plausible {
inline constexpr size_t kMinTextBytes = 16;
inline constexpr size_t kMinSingleByteTextBytes = 64;
inline constexpr size_t kMinStatisticsBytes = 32;
inline constexpr int kStrongSignatureBits = 24;

// UTF-8 (ASCII included), UTF-16 mostly in the Latin range, or from kMinSingleByteTextBytes
// on single-byte Latin text; few controls besides tab, line and form feed, return and escape.
bool LooksLikeText(std::span<const uint8_t> bytes);
// A chi-square of the 256 byte counts far above what uniformly random bytes give.
bool UnlikeRandom(std::span<const uint8_t> bytes);
// How many bits of the first bytes the recognised kind rests on: flipping each of them
// changes or loses the kind. 0 when nothing is recognised; counting stops at `enough`.
int SignatureBits(TFileKinds& kinds, std::span<const uint8_t> bytes, int enough);
// A recognised kind whose signature random bytes match too rarely to matter.
bool StrongSignature(TFileKinds& kinds, std::span<const uint8_t> bytes);
// "BZh", a level digit, then a block or end-of-stream magic.
bool StartsLikeBzip2(std::span<const uint8_t> bytes);
} // namespace plausible

} // namespace lw
