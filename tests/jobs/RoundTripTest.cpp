#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "JobRows.h"
#include "Reference.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

std::string Name(const ::testing::TestParamInfo<RoundTripRow>& info)
{
    static const char* names[] = {"RC4", "Blowfish", "Serpent", "Rijndael"};
    return std::string(names[info.param.cipher]) + (info.param.compress ? "_fez_" : "_fe2_") +
           std::to_string(info.param.size);
}

class JobRoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

} // namespace

TEST_P(JobRoundTrip, DecryptGivesBackTheSource)
{
    const RoundTripRow& row = GetParam();
    TempDir dir;
    fsys::create_directory(dir / "enc");
    fsys::create_directory(dir / "dec");
    // Half text, half noise: compression has something to do and the data stays varied.
    Bytes data = TextBytes(row.size, static_cast<uint32_t>(row.size + row.cipher));
    for (size_t i = 0; i < data.size() / 2; ++i)
        data[i] = static_cast<uint8_t>("lorem ipsum dolor sit amet "[data[i] % 27]);
    WriteFile(dir / "plain.dat", data);

    lw::TJobOptions options = JobOptions(dir / "plain.dat", "correct horse", row.cipher, row.compress);
    options.DestinationFolder = dir / "enc";
    ASSERT_TRUE(EndsWithItsResult(true, options));
    const std::string encrypted = dir / (row.compress ? "enc/plain.dat.fez" : "enc/plain.dat.fe2");
    EXPECT_EQ(Listing(dir / "enc"), std::vector<std::string>{fsys::path(encrypted).filename().string()});
    const Bytes cipherText = ReadFile(encrypted);
    if (!row.compress) {
        EXPECT_EQ(cipherText.size(), row.size);
    } else if (row.size == 0) {
        EXPECT_EQ(cipherText.size(), 14u);
    }
    if (row.size >= 16) {
        EXPECT_NE(Bytes(cipherText.begin(), cipherText.begin() + 16), Bytes(data.begin(), data.begin() + 16));
    }

    options = {};
    options.SourcePath = encrypted;
    options.KeyPhrase = "correct horse";
    options.CipherIndex = row.cipher;
    options.DestinationFolder = dir / "dec";
    if (TooShortToJudge(row.compress, row.size)) {
        ScriptedAsk ask;
        RecordingHandOff handOff;
        lw::TJobContext context{ask, handOff};
        context.KeepDoubtful = true; // kept unasked, the warning after the result
        ASSERT_TRUE(lw::RunDecryptJob(options, context));
        const std::vector<Box> boxes = {{lw::TMsgDlgType::mtInformation, "File decrypted", lw::mbOK},
                                        {lw::TMsgDlgType::mtWarning, kDoubtWarning, lw::mbOK}};
        EXPECT_EQ(ask.boxes, boxes);
    } else {
        ASSERT_TRUE(EndsWithItsResult(false, options));
    }
    EXPECT_EQ(Listing(dir / "dec"), std::vector<std::string>{"plain.dat"});
    EXPECT_TRUE(ReadFile(dir / "dec/plain.dat") == data);
    EXPECT_EQ(ReadFile(dir / "plain.dat"), data);
}

INSTANTIATE_TEST_SUITE_P(AllCiphers, JobRoundTrip, ::testing::ValuesIn(AllRoundTrips()), Name);

TEST(JobOutput, MatchesTheIndependentReference)
{
    LWTEST_NEEDS_REFERENCE();
    struct Row {
        int cipher;
        bool compress;
        size_t size;
        std::string phrase;
    };
    std::vector<Row> rows;
    const std::string phrases[] = {"", "Secret", "secret", std::string("p\xE4ss\xFFwort\0x", 10)};
    int n = 0;
    for (int cipher : {0, 1, 3})
        for (bool compress : {false, true})
            for (size_t size : {0, 1, 17, 8193, 3 * 8192 + 5})
                rows.push_back({cipher, compress, size, phrases[n++ % 4]});
    for (const Row& row : rows) {
        SCOPED_TRACE("cipher " + std::to_string(row.cipher) + (row.compress ? " fez " : " fe2 ") +
                     std::to_string(row.size) + " phrase " + ToHex(Bytes(row.phrase.begin(), row.phrase.end())));
        TempDir dir;
        const Bytes data = TextBytes(row.size, static_cast<uint32_t>(row.size * 3 + row.cipher));
        WriteFile(dir / "s", data);
        const lw::TJobOptions options = JobOptions(dir / "s", row.phrase, row.cipher, row.compress);
        ASSERT_TRUE(EndsWithItsResult(true, options));
        const Bytes expected = ReferenceOutput(row.cipher, row.phrase, data, row.compress);
        const Bytes actual = ReadFile(dir / (row.compress ? "s.fez" : "s.fe2"));
        ASSERT_EQ(actual.size(), expected.size());
        EXPECT_TRUE(actual == expected) << "first bytes " << ToHex(actual.data(), std::min<size_t>(actual.size(), 24))
                                        << " vs " << ToHex(expected.data(), std::min<size_t>(expected.size(), 24));
    }
}

TEST(JobOutput, OnlyAFezNameInAnyCaseIsDecompressed)
{
    TempDir dir;
    const Bytes data = TextBytes(20000, 5);
    WriteFile(dir / "x", data);
    lw::TJobOptions options = JobOptions(dir / "x", "k", 1, true);
    ASSERT_TRUE(EndsWithItsResult(true, options));
    fsys::rename(dir / "x.fez", dir / "y.FEZ");
    options.Compress = false;
    options.SourcePath = dir / "notes";
    WriteFile(dir / "notes", data);
    ASSERT_TRUE(EndsWithItsResult(true, options));
    fsys::rename(dir / "notes.fe2", dir / "notes.feather");
    fsys::remove(dir / "notes");

    for (const char* name : {"y.FEZ", "notes.feather"}) {
        options = {};
        options.SourcePath = dir / name;
        options.KeyPhrase = "k";
        options.CipherIndex = 1;
        ASSERT_TRUE(EndsWithItsResult(false, options));
        EXPECT_TRUE(ReadFile(fsys::path(dir / name).replace_extension().string()) == data) << name;
    }
}

TEST(JobOutput, ThePhraseIsByteExactAndTheOutputKeepsTheSourcePermissions)
{
    TempDir dir;
    const Bytes data = TextBytes(1000, 8);
    WriteFile(dir / "m.txt", data);
#ifndef _WIN32
    fsys::permissions(dir / "m.txt", fsys::perms::owner_read | fsys::perms::owner_write | fsys::perms::group_read);
#endif
    lw::TJobOptions options;
    options.SourcePath = dir / "m.txt";
    options.KeyPhrase = "Phrase";
    options.CipherIndex = 3;
    ASSERT_TRUE(EndsWithItsResult(true, options));
#ifndef _WIN32 // Windows keeps no permission bits
    struct stat st {};
    ASSERT_EQ(::stat((dir / "m.txt.fe2").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif

    fsys::rename(dir / "m.txt", dir / "m.orig");
    options.SourcePath = dir / "m.txt.fe2";
    options.KeyPhrase = "phrase";
    // A wrong phrase on a ".fe2" decrypts without an error into noise: the user is asked
    // (No the default) whether to keep it. Not kept, it never appears and the job fails
    // quietly, so another phrase can be tried; kept, the result follows.
    const std::string keep = std::string(kDoubtWarning) + " Keep \"m.txt\"?";
    for (lw::TMsgDlgBtn answer : {lw::mbNo, lw::mbYes}) {
        ScriptedAsk ask({answer});
        RecordingHandOff handOff;
        lw::TJobContext context{ask, handOff};
        ASSERT_TRUE(lw::RunDecryptJob(options, context));
        std::vector<Box> boxes = {{lw::TMsgDlgType::mtWarning, keep, lw::mbYes | lw::mbNo}};
        if (answer == lw::mbYes)
            boxes.push_back({lw::TMsgDlgType::mtInformation, "File decrypted", lw::mbOK});
        EXPECT_EQ(ask.boxes, boxes);
        EXPECT_EQ(context.FailureReason, answer == lw::mbNo ? kDoubtWarning : "");
        EXPECT_EQ(fsys::exists(dir / "m.txt"), answer == lw::mbYes);
    }
    EXPECT_EQ(ReadFile(dir / "m.txt").size(), data.size());
    EXPECT_FALSE(ReadFile(dir / "m.txt") == data);
}

// A phrase keyed as another system writes its characters (the Windows code pages, their
// consoles' DOS ones) opens the file when typed here; the result box says which spelling
// matched. Python's codecs make the other system's bytes.
TEST(JobOutput, APhraseKeyedOnAnotherSystemOpensWithTheSamePhraseTyped)
{
    LWTEST_NEEDS_REFERENCE();
    const struct {
        const char* phrase; // as typed here: UTF-8
        const char* codec;
        const char* where; // empty: the typed bytes themselves
    } rows[] = {
        {"caf\xC3\xA9 Gr\xC3\xBC\xC3\x9F"
         "e",
         "cp1252", "on a Windows system (Windows-1252)"},
        {"caf\xC3\xA9 Gr\xC3\xBC\xC3\x9F"
         "e",
         "cp437", "in a Windows console (code page 437)"},
        {"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", "cp1251", "on a Windows system (Windows-1251)"},
        {"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", "cp866", "in a Windows console (code page 866)"},
        {"\xCE\xBA\xCF\x89\xCE\xB4\xCE\xB9\xCE\xBA\xCF\x8C\xCF\x82", "cp1253", "on a Windows system (Windows-1253)"},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "cp1250", "on a Windows system (Windows-1250)"},
        {"\xE5\xAF\x86\xE7\xA0\x81", "utf-8", ""},
    };
    const Bytes data = TextBytes(20000, 14);
    for (bool compress : {false, true})
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.codec) + (compress ? " fez" : " fe2"));
            TempDir dir;
            WriteFile(dir / "m.txt", data);
            const Bytes keyed = RunPython(
                "import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode()"
                ".encode('" +
                    std::string(row.codec) + "'))",
                Bytes(row.phrase, row.phrase + std::strlen(row.phrase)));
            ASSERT_TRUE(EndsWithItsResult(
                true, JobOptions(dir / "m.txt", std::string(keyed.begin(), keyed.end()), 2, compress)));
            fsys::remove(dir / "m.txt");
            ScriptedAsk ask;
            RecordingHandOff handOff;
            lw::TJobContext context{ask, handOff};
            ASSERT_TRUE(
                lw::RunDecryptJob(JobOptions(dir / (compress ? "m.txt.fez" : "m.txt.fe2"), row.phrase, 2), context));
            EXPECT_EQ(ask.boxes, (std::vector<Box>{{lw::TMsgDlgType::mtInformation, "File decrypted", lw::mbOK}}))
                << context.FailureReason;
            const std::string where = dir / "m.txt";
            EXPECT_EQ(ask.details, std::vector<std::string>{*row.where ? where + "\nThe key phrase matched as typed " +
                                                                             std::string(row.where) + "."
                                                                       : where});
            EXPECT_TRUE(ReadFile(dir / "m.txt") == data);
        }
}
