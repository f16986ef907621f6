#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "JobRows.h"
#include "KindSamples.h"
#include "TestUtil.h"
#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/Plausibility.h"
#include "platform/MemoryStream.h"

using namespace lwtest;
using lw::TPlausibility;
namespace plausible = lw::plausible;

namespace {

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Head(const Bytes& bytes, size_t size = lw::kJudgedBytes)
{
    return Bytes(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

// As the jobs do it: the phrase's SHA-1 as key, 8 KiB pieces; ".fez" compressed first.
Bytes Encrypt(const Bytes& plain, int cipher, const std::string& phrase, bool compressed)
{
    auto c = lw::CreateCipher(cipher);
    lw::job::KeyCipher(c.get(), phrase);
    lw::TMemoryStream in, out;
    in.WriteBuffer(plain);
    in.Seek(0, lw::TSeekOrigin::soBeginning);
    if (compressed)
        lw::job::CompressAndEncrypt(in, *c, out);
    else
        c->StreamEncrypt(in, out, plain.size());
    return out.Data();
}

Bytes DecryptWhole(const Bytes& encrypted, int cipher, const std::string& phrase)
{
    auto c = lw::CreateCipher(cipher);
    lw::job::KeyCipher(c.get(), phrase);
    lw::TMemoryStream in, out;
    in.WriteBuffer(encrypted);
    in.Seek(0, lw::TSeekOrigin::soBeginning);
    c->StreamDecrypt(in, out, encrypted.size());
    return out.Data();
}

// Varied English lines of exactly `size` bytes.
Bytes EnglishText(size_t size, uint32_t seed)
{
    static const char* const words[] = {"the",   "cold", "April",  "clocks",  "were", "striking", "thirteen", "hallway",
                                        "smelt", "of",   "boiled", "cabbage", "and",  "old",      "mats"};
    const Bytes pick = RandomBytes(size, seed);
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += std::string(words[pick[i % pick.size()] % 15]) + (i % 11 == 10 ? ".\n" : " ");
    text.resize(size);
    return Text(text);
}

} // namespace

TEST(JudgeContent, RealFilesOfManyKindsArePlausible)
{
    LWTEST_NEEDS_REFERENCE(); // the samples are made by a Python script
    for (const KindSample& sample : KindSamples()) {
        SCOPED_TRACE(sample.name);
        EXPECT_EQ(lw::JudgeContent(sample.bytes), TPlausibility::Plausible);
        EXPECT_EQ(lw::JudgeContent(Head(sample.bytes, 4096)), TPlausibility::Plausible);
    }
}

TEST(JudgeContent, EmptyIsPlausible)
{
    EXPECT_EQ(lw::JudgeContent({}), TPlausibility::Plausible);
}

// Each of these looks random to the statistics, so only its signature can carry it.
TEST(JudgeContent, CompressedKindsRestOnTheirSignatures)
{
    LWTEST_NEEDS_REFERENCE(); // the samples are made by a Python script
    lw::TFileKinds kinds;
    for (const char* name : {"noise.png", "noise.zip", "noise.gz", "noise.bz2", "archive.zip"}) {
        SCOPED_TRACE(name);
        const Bytes head = Head(KindSampleBytes(name));
        EXPECT_FALSE(plausible::LooksLikeText(head));
        EXPECT_FALSE(plausible::UnlikeRandom(head));
        EXPECT_TRUE(plausible::StrongSignature(kinds, head));
    }
}

struct TextRow {
    const char* what;
    Bytes bytes;
    bool text;
};

TEST(JudgeContent, TextRules)
{
    const std::string line = "The hallway smelt of boiled cabbage and old rag mats. ";
    const std::string umlauts = "Schöne Grüße aus Köln über die Straße. ";
    auto utf16 = [](const std::string& ascii, bool bigEndian, bool bom) {
        Bytes out;
        if (bom)
            out = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
        for (char c : ascii) {
            out.push_back(bigEndian ? 0 : static_cast<uint8_t>(c));
            out.push_back(bigEndian ? static_cast<uint8_t>(c) : 0);
        }
        return out;
    };
    auto latin1 = [](const std::string& utf8) {
        Bytes out;
        for (size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<uint8_t>(utf8[i]);
            out.push_back(c == 0xC3 ? static_cast<uint8_t>(0x40 + static_cast<uint8_t>(utf8[++i])) : c);
        }
        return out;
    };
    Bytes withNul = Text(line + line + line + line + line + line);
    withNul[100] = 0;
    Bytes withTwoNuls = withNul;
    withTwoNuls[200] = 0;
    const Bytes cjk = {0x53, 0x4F, 0x4E, 0x75, 0x8C, 0x53, 0x4E, 0x4E, 0x2D, 0x65, 0x87, 0x65,
                       0x87, 0x67, 0x2C, 0x6B, 0x53, 0x4F, 0x4E, 0x75, 0x8C, 0x53, 0x4E, 0x4E};
    const TextRow rows[] = {
        {"ASCII, 16 bytes", Text("sixteen bytes ok"), true},
        {"ASCII, 15 bytes: too short", Text("fifteen bytes!!"), false},
        {"UTF-8", Text(umlauts), true},
        {"UTF-8 cut inside its last character", Text(umlauts.substr(0, umlauts.rfind("ß") + 1)), true},
        {"UTF-8 with its last character's lead byte doubled", Text(umlauts.substr(0, umlauts.rfind("ß") + 1) + "\xC3"),
         false},
        {"UTF-8 overlong slash", Text("an overlong \xC0\xAF slash in a line"), false},
        {"UTF-8 encoded surrogate", Text("a surrogate \xED\xA0\x80 in a line of text"), false},
        {"UTF-8 C1 control", Text("a next-line \xC2\x85 control in a line"), false},
        {"Latin-1, 64 bytes and more", latin1(umlauts + umlauts), true},
        {"Latin-1 under 64 bytes", latin1(umlauts), false},
        {"Latin-1 with a third high bytes", latin1("äöüßäöüßäöüßäöüßäöüßäöüß mixed " + umlauts), false},
        {"UTF-16 little-endian with BOM", utf16(line, false, true), true},
        {"UTF-16 big-endian without BOM", utf16(line, true, false), true},
        {"UTF-16 Chinese: left to the statistics", cjk, false},
        {"one NUL in 330 bytes", withNul, true},
        {"two NULs in 330 bytes", withTwoNuls, false},
        {"tabs, escapes and form feeds", Text("col\tcol\tcol\n\x1B[1mbold\x1B[0m\f\r\nnext page"), true},
    };
    for (const TextRow& row : rows)
        EXPECT_EQ(plausible::LooksLikeText(row.bytes), row.text) << row.what;
}

TEST(JudgeContent, StatisticsSeparateStructureFromRandom)
{
    LWTEST_NEEDS_REFERENCE(); // the samples are made by a Python script
    EXPECT_TRUE(plausible::UnlikeRandom(Bytes(32, 0)));
    EXPECT_FALSE(plausible::UnlikeRandom(Bytes(31, 0))) << "too short to tell";
    // Random bytes with every twentieth one zero: a file format's padding does far more.
    Bytes skewed = RandomBytes(65536, 7);
    for (size_t i = 0; i < skewed.size(); i += 20)
        skewed[i] = 0;
    EXPECT_TRUE(plausible::UnlikeRandom(skewed));
    EXPECT_FALSE(plausible::UnlikeRandom(RandomBytes(65536, 7)));
    // An output of 16-bit samples or Chinese UTF-16 narrows the byte range.
    EXPECT_TRUE(plausible::UnlikeRandom(Head(KindSampleBytes("tone.wav"))));
}

// Weak signatures that random bytes match by chance are recognised but not strong enough;
// gzip's is as weak, so its header's fixed fields decide.
TEST(JudgeContent, WeakSignaturesDoNotCount)
{
#ifdef _WIN32
    GTEST_SKIP() << "asks the file-type database about kinds the Windows build's signature table leaves out";
#endif
    lw::TFileKinds kinds;
    struct Row {
        const char* what;
        Bytes start;
        bool strong;
    };
    const Row rows[] = {
        {"zlib header", {0x78, 0xDA}, false},
        {"DOS COM jump", {0xE9, 0x10, 0x20}, false},
        {"gzip magic, random method", {0x1F, 0x8B, 0x63}, false},
        {"gzip header", {0x1F, 0x8B, 0x08, 0x00, 0x10, 0x20, 0x30, 0x40, 0x02, 0x03}, true},
        {"PNG signature and header chunk",
         {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D',
          'R',  0,   0,   1,   0,    0,    0,    1,    0, 8, 2, 0,  0,   0},
         true},
    };
    for (uint32_t seed = 1; seed <= 3; ++seed)
        for (const Row& row : rows) {
            SCOPED_TRACE(row.what);
            Bytes bytes = RandomBytes(65536, seed);
            std::copy(row.start.begin(), row.start.end(), bytes.begin());
            ASSERT_TRUE(kinds.MediaType(bytes).has_value());
            const bool gzip = row.start[0] == 0x1F;
            EXPECT_EQ(plausible::SignatureBits(kinds, bytes, 64) >= plausible::kStrongSignatureBits,
                      row.strong && !gzip);
            EXPECT_EQ(plausible::StrongSignature(kinds, bytes), row.strong);
            EXPECT_EQ(lw::JudgeContent(bytes), row.strong ? TPlausibility::Plausible : TPlausibility::Doubtful);
        }
}

TEST(JudgeContent, RandomBytesAreDoubtful)
{
    struct Row {
        size_t size;
        uint32_t seeds;
    };
    const Row rows[] = {{1, 500},   {15, 500},   {16, 500},     {17, 500},
                        {100, 500}, {4096, 500}, {65536, 2000}, {1 << 20, 16}};
    lw::TFileKinds kinds;
    for (const Row& row : rows) {
        int plausibleCount = 0;
        for (uint32_t seed = 0; seed < row.seeds; ++seed) {
            const Bytes bytes = RandomBytes(row.size, seed * 7919 + static_cast<uint32_t>(row.size));
            plausibleCount += lw::JudgeContent(bytes, kinds) == TPlausibility::Plausible ? 1 : 0;
        }
        EXPECT_EQ(plausibleCount, 0) << row.size << " bytes, " << row.seeds << " seeds";
    }
}

// The false rate over many more buffers, and how often libmagic alone would have been fooled.
TEST(LongPlausibility, RandomBuffersAndWrongKeysStayDoubtful)
{
    const char* wanted = std::getenv("LOCKWELL_LONG_TESTS");
    if (!wanted || std::string(wanted) != "1")
        GTEST_SKIP() << "set LOCKWELL_LONG_TESTS=1 to run";
    lw::TFileKinds kinds;
    int plausibleCount = 0, described = 0, typed = 0;
    const uint32_t buffers = 20000;
    for (uint32_t seed = 0; seed < buffers; ++seed) {
        const Bytes bytes = RandomBytes(lw::kJudgedBytes, 1000003u * seed + 17);
        plausibleCount += lw::JudgeContent(bytes, kinds) == TPlausibility::Plausible ? 1 : 0;
        described += kinds.Describe(bytes) ? 1 : 0;
        typed += kinds.MediaType(bytes) ? 1 : 0;
    }
    std::printf("%u random 64 KiB buffers: %d plausible, %d described by libmagic, %d with a media type\n", buffers,
                plausibleCount, described, typed);
    EXPECT_EQ(plausibleCount, 0);

    int wrongPlausible = 0, wrongJudged = 0;
    for (const KindSample& sample : KindSamples())
        for (int cipher = 0; cipher < 4; ++cipher) {
            const Bytes encrypted = Encrypt(Head(sample.bytes), cipher, "right phrase", false);
            for (int phrase = 0; phrase < 50; ++phrase)
                for (int other = 0; other < 4; ++other) {
                    const Bytes wrong = DecryptWhole(encrypted, other, "wrong " + std::to_string(phrase));
                    wrongPlausible += lw::JudgeContent(wrong, kinds) == TPlausibility::Plausible ? 1 : 0;
                    ++wrongJudged;
                }
        }
    std::printf("%d wrong-phrase decryptions of real files: %d plausible\n", wrongJudged, wrongPlausible);
    EXPECT_EQ(wrongPlausible, 0);
}

TEST(JudgeContent, WrongKeyDecryptionsOfRealFilesAreDoubtful)
{
    LWTEST_NEEDS_REFERENCE(); // the samples are made by a Python script
    int judged = 0;
    for (const KindSample& sample : KindSamples())
        for (int cipher = 0; cipher < 4; ++cipher) {
            SCOPED_TRACE(sample.name + " under " + lw::CipherName(cipher));
            const Bytes encrypted = Encrypt(Head(sample.bytes), cipher, "right phrase", false);
            ASSERT_EQ(DecryptWhole(encrypted, cipher, "right phrase"), Head(sample.bytes));
            for (int other = 0; other < 4; ++other) {
                EXPECT_EQ(lw::JudgeContent(DecryptWhole(encrypted, other, "wrong phrase")), TPlausibility::Doubtful)
                    << "wrong phrase, " << lw::CipherName(other);
                if (other != cipher) {
                    EXPECT_EQ(lw::JudgeContent(DecryptWhole(encrypted, other, "right phrase")), TPlausibility::Doubtful)
                        << "wrong cipher " << lw::CipherName(other);
                }
                judged += other != cipher ? 2 : 1;
            }
        }
    std::printf("%d wrong-key decryptions judged\n", judged);
}

TEST(CipherThatFits, NamesAndHintsTheCiphers)
{
    const char* const names[] = {"RC4", "Blowfish", "Serpent", "Rijndael"};
    for (int32_t index = 0; index < 4; ++index) {
        EXPECT_EQ(lw::CipherName(index), names[index]);
        EXPECT_EQ(lw::FitHint(index), "It looks like a file encrypted with " + std::string(names[index]) + ".");
    }
    EXPECT_EQ(lw::CipherName(4), "");
    EXPECT_EQ(lw::CipherName(-1), "");
    EXPECT_EQ(lw::FitHint(std::nullopt), "");
    EXPECT_EQ(lw::FitHint(7), "");
}

namespace {

struct FitRow {
    size_t size;
    bool fe2Named;
    std::array<bool, 4> fezNamed;
};

// .fe2: 16 bytes are the least the judge calls text. .fez: an empty file's 14-byte stream is
// one short block to the 16-byte-block ciphers and holds 8 whole bytes of Blowfish's, fewer
// than the 10 of a bzip2 start.
const FitRow kFitRows[] = {
    {0, false, {true, false, false, false}}, {1, false, {true, true, true, true}},
    {15, false, {true, true, true, true}},   {16, true, {true, true, true, true}},
    {17, true, {true, true, true, true}},    {8191, true, {true, true, true, true}},
    {8192, true, {true, true, true, true}},  {8193, true, {true, true, true, true}},
    {70000, true, {true, true, true, true}},
};

} // namespace

TEST(CipherThatFits, NamesTheEncryptingCipherForEveryPairAndSize)
{
    for (const FitRow& row : kFitRows)
        for (bool compressed : {false, true})
            for (int32_t encrypting = 0; encrypting < 4; ++encrypting) {
                const Bytes plain = EnglishText(row.size, static_cast<uint32_t>(row.size) + encrypting);
                const Bytes encrypted = Encrypt(plain, encrypting, "correct horse", compressed);
                const bool named = compressed ? row.fezNamed[encrypting] : row.fe2Named;
                for (int32_t tried = 0; tried < 4; ++tried) {
                    SCOPED_TRACE(std::to_string(row.size) + (compressed ? " .fez " : " .fe2 ") +
                                 lw::CipherName(encrypting) + " tried as " + lw::CipherName(tried));
                    const std::optional<int32_t> expected =
                        named && tried != encrypting ? std::optional<int32_t>(encrypting) : std::nullopt;
                    EXPECT_EQ(lw::CipherThatFits(Head(encrypted), "correct horse", tried, compressed), expected);
                    EXPECT_EQ(lw::CipherThatFits(encrypted, "correct horse", tried, compressed), expected);
                    EXPECT_EQ(lw::CipherThatFits(Head(encrypted), "correct horsE", tried, compressed), std::nullopt);
                }
            }
}

TEST(CipherThatFits, NamesTheCipherOfRealFilesOfManyKinds)
{
    LWTEST_NEEDS_REFERENCE(); // the samples are made by a Python script
    for (const KindSample& sample : KindSamples())
        for (int32_t encrypting = 0; encrypting < 4; ++encrypting) {
            SCOPED_TRACE(sample.name + " under " + lw::CipherName(encrypting));
            const Bytes encrypted = Encrypt(Head(sample.bytes), encrypting, "k", false);
            EXPECT_EQ(lw::CipherThatFits(encrypted, "k", (encrypting + 1) % 4, false), encrypting);
            EXPECT_EQ(lw::CipherThatFits(encrypted, "K", (encrypting + 1) % 4, false), std::nullopt);
        }
}

// A head cut inside a block: deciphered as a whole file its short last block is garbage,
// which the judge must not see.
TEST(CipherThatFits, JudgesOnlyTheWholeBlocksOfAHead)
{
    for (int32_t encrypting : {1, 2, 3}) {
        SCOPED_TRACE(lw::CipherName(encrypting));
        const size_t block = encrypting == 1 ? 8 : 16;
        const Bytes plain = EnglishText(70000, 3);
        const Bytes cut = Head(Encrypt(plain, encrypting, "correct horse", false), 16 + block - 1);
        const Bytes deciphered = DecryptWhole(cut, encrypting, "correct horse");
        ASSERT_EQ(Head(deciphered, 16), Head(plain, 16));
        ASSERT_NE(deciphered, Head(plain, cut.size()));
        ASSERT_EQ(lw::JudgeContent(deciphered), TPlausibility::Doubtful);
        EXPECT_EQ(lw::CipherThatFits(cut, "correct horse", 0, false), encrypting);
    }
}

// The named cipher is the one the decrypt job then needs: its first bytes and the job's agree.
TEST(CipherThatFits, TheNamedCipherDecryptsTheFileInTheJob)
{
    for (bool compressed : {false, true})
        for (size_t size : {8193, 70000})
            for (int32_t encrypting = 0; encrypting < 4; ++encrypting) {
                SCOPED_TRACE(std::to_string(size) + (compressed ? " .fez " : " .fe2 ") + lw::CipherName(encrypting));
                TempDir dir;
                const Bytes plain = EnglishText(size, 11);
                WriteFile(dir / "plain.txt", plain);
                lw::TJobOptions options = JobOptions(dir / "plain.txt", "correct horse", encrypting, compressed);
                ASSERT_TRUE(EndsWithItsResult(true, options));
                const std::string encryptedPath = dir / (compressed ? "plain.txt.fez" : "plain.txt.fe2");
                const Bytes encrypted = ReadFile(encryptedPath);
                EXPECT_EQ(encrypted, Encrypt(plain, encrypting, "correct horse", compressed));

                const int32_t tried = (encrypting + 2) % 4;
                const std::optional<int32_t> named =
                    lw::CipherThatFits(Head(encrypted), "correct horse", tried, compressed);
                ASSERT_EQ(named, encrypting);
                options = JobOptions(encryptedPath, "correct horse", *named);
                options.DestinationFolder = dir / "out";
                std::filesystem::create_directory(options.DestinationFolder);
                ASSERT_TRUE(EndsWithItsResult(false, options));
                EXPECT_EQ(ReadFile(dir / "out/plain.txt"), plain);
            }
}
