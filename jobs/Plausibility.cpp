#include "jobs/Plausibility.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "compress/BZip2Format.h"
#include "crypto/BlockCipher.h"
#include "crypto/SecureFill.h"
#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "platform/MemoryStream.h"

namespace lw {

namespace plausible {
namespace {
// Far beyond the largest z of a million random buffers at each of the lengths tried from 32
// bytes to 1 KiB (9.4 at 32 bytes, 5.4 at 1 KiB); below 32 bytes the tail is too heavy to trust.
constexpr double kRandomZ = 12.0;
// The kind is probed on this many leading bytes: signatures sit at the very start.
constexpr size_t kProbedBytes = 32;

bool AllowedControl(uint32_t c)
{
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == 0x1B;
}

bool BadCodePoint(uint32_t c)
{
    return (c < 0x20 && !AllowedControl(c)) || (c >= 0x7F && c <= 0x9F);
}

// Longer text may carry a stray control: a NUL terminator, a DOS end-of-file mark.
size_t Tolerated(size_t count)
{
    return count / 256;
}

bool Utf8Text(std::span<const uint8_t> b)
{
    size_t bad = 0;
    size_t i = 0;
    while (i < b.size()) {
        const uint8_t lead = b[i];
        uint32_t cp = 0;
        size_t length = 0;
        if (lead < 0x80) {
            cp = lead;
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1Fu;
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0Fu;
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07u;
            length = 4;
        } else {
            return false;
        }
        // A head may cut the last character short.
        const size_t have = std::min(length, b.size() - i);
        for (size_t k = 1; k < have; ++k) {
            if ((b[i + k] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (b[i + k] & 0x3Fu);
        }
        if (have == length) {
            if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            if (BadCodePoint(cp))
                ++bad;
        }
        i += have;
    }
    return bad <= Tolerated(b.size());
}

// Without mostly Latin-range characters, valid UTF-16 is what random bytes nearly always
// are; text in other scripts is left to the statistics, which its narrow byte range fails.
bool Utf16Text(std::span<const uint8_t> b, bool bigEndian)
{
    const size_t units = b.size() / 2;
    auto unit = [&](size_t i) -> uint32_t {
        const uint32_t first = b[2 * i], second = b[2 * i + 1];
        return bigEndian ? first << 8 | second : second << 8 | first;
    };
    size_t points = 0, latin = 0, bad = 0;
    for (size_t i = unit(0) == 0xFEFF ? 1 : 0; i < units; ++i) {
        const uint32_t u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF)
            return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == units)
                break;
            const uint32_t low = unit(++i);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            ++points;
            continue;
        }
        ++points;
        if (BadCodePoint(u))
            ++bad;
        else if (u < 0x80)
            ++latin;
    }
    return points > 0 && bad <= Tolerated(points) && latin * 2 >= points;
}

// Latin-1 and its Windows superset; mostly ASCII, as Latin-script text is.
bool SingleByteText(std::span<const uint8_t> b)
{
    if (b.size() < kMinSingleByteTextBytes)
        return false;
    size_t bad = 0, high = 0;
    for (uint8_t c : b) {
        if (c >= 0x80) {
            ++high;
            // Unassigned in Windows-1252.
            if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
                ++bad;
        } else if (BadCodePoint(c)) {
            ++bad;
        }
    }
    return bad <= Tolerated(b.size()) && high * 10 <= b.size() * 3;
}

// gzip's two magic bytes match random bytes too often; the method, the reserved flag bits,
// the compression hint and the system byte of a real header add about twenty more bits.
bool GzipHeaderHolds(std::span<const uint8_t> b)
{
    return b.size() >= 10 && b[0] == 0x1F && b[1] == 0x8B && b[2] == 8 && (b[3] & 0xE0) == 0 &&
           (b[8] == 0 || b[8] == 2 || b[8] == 4) && (b[9] <= 13 || b[9] == 255);
}

// A copy for probing, wiped before it is released: it holds decrypted bytes.
class TWipedCopy {
public:
    explicit TWipedCopy(std::span<const uint8_t> bytes) : m_bytes(bytes.begin(), bytes.end()) {}
    ~TWipedCopy() { SecureFill(m_bytes.data(), m_bytes.size(), 0); }
    TWipedCopy(const TWipedCopy&) = delete;
    TWipedCopy& operator=(const TWipedCopy&) = delete;
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

int ProbedBits(TFileKinds& kinds, std::span<const uint8_t> bytes, const std::string& type, int enough)
{
    TWipedCopy copy(bytes);
    std::vector<uint8_t>& probe = copy.Bytes();
    auto changes = [&](size_t at, uint8_t mask) {
        probe[at] ^= mask;
        const bool changed = kinds.MediaType(probe) != type;
        probe[at] ^= mask;
        return changed;
    };
    int bits = 0;
    const size_t probed = std::min(bytes.size(), kProbedBytes);
    for (size_t at = 0; at < probed && bits < enough; ++at) {
        // The whole byte first: one probe rules out a byte the kind does not read.
        if (!changes(at, 0xFF))
            continue;
        for (unsigned bit = 0; bit < 8; ++bit)
            bits += changes(at, static_cast<uint8_t>(1u << bit)) ? 1 : 0;
    }
    return bits;
}
} // namespace

bool LooksLikeText(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kMinTextBytes)
        return false;
    return Utf8Text(bytes) || Utf16Text(bytes, false) || Utf16Text(bytes, true) || SingleByteText(bytes);
}

bool UnlikeRandom(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kMinStatisticsBytes)
        return false;
    std::array<uint64_t, 256> counts{};
    for (uint8_t c : bytes)
        ++counts[c];
    uint64_t squares = 0;
    for (uint64_t c : counts)
        squares += c * c;
    // Sum of (c - n/256)^2 / (n/256), expanded: 256 * sum(c^2) / n - n.
    const double n = static_cast<double>(bytes.size());
    const double chiSquare = 256.0 * static_cast<double>(squares) / n - n;
    const double z = (chiSquare - 255.0) / std::sqrt(510.0 * (1.0 - 1.0 / n));
    return z >= kRandomZ;
}

int SignatureBits(TFileKinds& kinds, std::span<const uint8_t> bytes, int enough)
{
    const std::optional<std::string> type = kinds.MediaType(bytes);
    return type ? ProbedBits(kinds, bytes, *type, enough) : 0;
}

bool StrongSignature(TFileKinds& kinds, std::span<const uint8_t> bytes)
{
    const std::optional<std::string> type = kinds.MediaType(bytes);
    if (!type)
        return false;
    if (*type == "application/gzip")
        return GzipHeaderHolds(bytes);
    return ProbedBits(kinds, bytes, *type, kStrongSignatureBits) >= kStrongSignatureBits;
}

bool StartsLikeBzip2(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 10 || bytes[0] != 'B' || bytes[1] != 'Z' || bytes[2] != 'h' || bytes[3] < '1' || bytes[3] > '9')
        return false;
    const uint64_t magic = bz::PeekBits(bytes, 32, bz::kMagicBits);
    return magic == bz::kBlockMagic || magic == bz::kEndMagic;
}

} // namespace plausible

namespace {
constexpr int32_t kCipherCount = 4;

// Wipes the cipher however the trial ends.
class TCipherWipe {
public:
    explicit TCipherWipe(TDCP_cipher& cipher) : m_cipher(cipher) {}
    ~TCipherWipe() { m_cipher.Wipe(); }
    TCipherWipe(const TCipherWipe&) = delete;
    TCipherWipe& operator=(const TCipherWipe&) = delete;

private:
    TDCP_cipher& m_cipher;
};

// Wipes a memory stream's bytes however the trial ends.
class TStreamWipe {
public:
    explicit TStreamWipe(TMemoryStream& stream) : m_stream(stream) {}
    ~TStreamWipe()
    {
        m_stream.Seek(0, TSeekOrigin::soBeginning);
        if (auto view = m_stream.WriteView(static_cast<size_t>(m_stream.Size())))
            SecureFill(view->data(), view->size(), 0);
    }
    TStreamWipe(const TStreamWipe&) = delete;
    TStreamWipe& operator=(const TStreamWipe&) = delete;

private:
    TMemoryStream& m_stream;
};

size_t BlockBytes(const TDCP_cipher& cipher)
{
    const auto* block = dynamic_cast<const TDCP_blockcipher*>(&cipher);
    return block ? static_cast<size_t>(block->BlockSize() / 8) : 1;
}

bool Fits(std::span<const uint8_t> head, std::string_view phrase, int32_t index, bool compressed, TFileKinds& kinds)
{
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(index);
    TCipherWipe cipherWipe(*cipher);
    job::KeyCipher(cipher.get(), phrase);
    TMemoryStream source;
    source.WriteBuffer(head);
    source.Seek(0, TSeekOrigin::soBeginning);
    TMemoryStream plain;
    TStreamWipe plainWipe(plain);
    // Full size first: growing would leave copies of decrypted bytes in released memory.
    plain.SetSize(static_cast<int64_t>(head.size()));
    plain.Seek(0, TSeekOrigin::soBeginning);
    cipher->StreamDecrypt(source, plain, head.size());
    // A short last block is ciphered differently where a head ends from where a file does.
    const size_t settled = head.size() - head.size() % BlockBytes(*cipher);
    const std::span<const uint8_t> judged = std::span(plain.Data()).first(settled);
    if (compressed)
        return plausible::StartsLikeBzip2(judged);
    return !judged.empty() && JudgeContent(judged, kinds) == TPlausibility::Plausible;
}
} // namespace

TPlausibility JudgeContent(std::span<const uint8_t> head, TFileKinds& kinds)
{
    const std::span<const uint8_t> bytes = head.first(std::min(head.size(), kJudgedBytes));
    if (bytes.empty() || plausible::LooksLikeText(bytes) || plausible::UnlikeRandom(bytes))
        return TPlausibility::Plausible;
    return plausible::StrongSignature(kinds, bytes) ? TPlausibility::Plausible : TPlausibility::Doubtful;
}

TPlausibility JudgeContent(std::span<const uint8_t> head)
{
    TFileKinds kinds;
    return JudgeContent(head, kinds);
}

std::optional<int32_t> CipherThatFits(std::span<const uint8_t> encryptedHead, std::string_view phrase,
                                      int32_t triedCipher, bool compressed)
{
    const std::span<const uint8_t> head = encryptedHead.first(std::min(encryptedHead.size(), kJudgedBytes));
    TFileKinds kinds;
    for (int32_t index = 0; index < kCipherCount; ++index)
        if (index != triedCipher && Fits(head, phrase, index, compressed, kinds))
            return index;
    return std::nullopt;
}

bool FitsUncompressed(std::span<const uint8_t> encryptedHead, std::string_view phrase, int32_t cipher)
{
    TFileKinds kinds;
    return Fits(encryptedHead.first(std::min(encryptedHead.size(), kJudgedBytes)), phrase, cipher, false, kinds);
}

std::optional<TPhraseSpelling> SpellingThatFits(std::span<const uint8_t> encryptedHead, std::string_view phrase,
                                                int32_t cipher, bool compressed)
{
    const std::span<const uint8_t> head = encryptedHead.first(std::min(encryptedHead.size(), kJudgedBytes));
    TFileKinds kinds;
    for (TPhraseSpelling& spelling : OtherSpellings(phrase))
        if (Fits(head, spelling.Bytes.View(), cipher, compressed, kinds))
            return std::move(spelling);
    return std::nullopt;
}

std::string CipherName(int32_t index)
{
    std::unique_ptr<TDCP_cipher> cipher = CreateCipher(index);
    return cipher ? cipher->Algorithm() : std::string();
}

std::string FitHint(std::optional<int32_t> cipher)
{
    if (!cipher)
        return {};
    const std::string name = CipherName(*cipher);
    return name.empty() ? std::string() : "It looks like a file encrypted with " + name + ".";
}

} // namespace lw
