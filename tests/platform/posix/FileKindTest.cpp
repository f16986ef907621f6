#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KindSamples.h"
#include "TestUtil.h"
#include "platform/FileKind.h"

using namespace lwtest;

namespace {

struct KindRow {
    const char* sample;
    const char* description; // a part of libmagic's description
    const char* mediaType;   // nullptr: any application/x-... type
};

const KindRow kKinds[] = {
    {"gradient.png", "PNG image data, 64 x 48", "image/png"},
    {"noise.png", "PNG image data, 96 x 96", "image/png"},
    {"photo.jpg", "JPEG image data", "image/jpeg"},
    {"document.pdf", "PDF document", "application/pdf"},
    {"archive.zip", "Zip archive data", "application/zip"},
    {"noise.zip", "Zip archive data", "application/zip"},
    {"document.odt", "OpenDocument Text", "application/vnd.oasis.opendocument.text"},
    {"text.gz", "gzip compressed data", "application/gzip"},
    {"noise.gz", "gzip compressed data", "application/gzip"},
    {"noise.bz2", "bzip2 compressed data", "application/x-bzip2"},
    {"text.xz", "XZ compressed data", "application/x-xz"},
    {"table.sqlite", "SQLite 3.x database", "application/vnd.sqlite3"},
    {"tone.wav", "WAVE audio", "audio/x-wav"},
    {"script.sh", "shell script", "text/x-shellscript"},
    {"ls", "ELF 64-bit", nullptr},
};

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace

TEST(FileKind, RecognisesRealFilesOfManyKinds)
{
    lw::TFileKinds kinds;
    for (const KindRow& row : kKinds) {
        SCOPED_TRACE(row.sample);
        const Bytes& bytes = KindSampleBytes(row.sample);
        const auto description = lw::RecognisedFileKind(bytes);
        ASSERT_TRUE(description.has_value());
        EXPECT_NE(description->find(row.description), std::string::npos) << *description;
        EXPECT_EQ(kinds.Describe(bytes), description);
        const auto type = kinds.MediaType(bytes);
        ASSERT_TRUE(type.has_value());
        if (row.mediaType)
            EXPECT_EQ(*type, row.mediaType);
        else
            EXPECT_EQ(type->rfind("application/x-", 0), 0u) << *type;
    }
}

TEST(FileKind, TheFirstBytesAreEnough)
{
    for (const char* sample : {"noise.png", "photo.jpg", "noise.zip", "noise.gz", "ls"}) {
        SCOPED_TRACE(sample);
        const Bytes& bytes = KindSampleBytes(sample);
        const Bytes head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 4096));
        ASSERT_LT(head.size(), bytes.size());
        EXPECT_TRUE(lw::RecognisedFileKind(head).has_value());
    }
}

// Text is left to the callers; empty, tiny and featureless input is no kind at all.
TEST(FileKind, GenericResultsAreNoKind)
{
    const Bytes rows[] = {
        {},
        {0x41},
        Bytes(65536, 0),
        Text("hello world, this is a line of text\n"),
        Text("Schöne Grüße aus Köln, und noch eine Zeile Text.\n"),
        KindSampleBytes("ascii.txt"),
        KindSampleBytes("latin1.txt"),
        KindSampleBytes("utf16le.txt"),
    };
    lw::TFileKinds kinds;
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lw::RecognisedFileKind(rows[i]), std::nullopt);
        EXPECT_EQ(kinds.MediaType(rows[i]), std::nullopt);
    }
}

// magic_load reads the database the MAGIC variable names, so a missing one is a real failure.
TEST(FileKind, AFailingDatabaseRecognisesNothing)
{
    const char* before = std::getenv("MAGIC");
    const std::string saved = before ? before : "";
    TempDir dir;
    ASSERT_EQ(setenv("MAGIC", (dir / "no-such-database.mgc").c_str(), 1), 0);
    const Bytes& png = KindSampleBytes("gradient.png");
    lw::TFileKinds kinds;
    const auto description = lw::RecognisedFileKind(png);
    const auto type = kinds.MediaType(png);
    if (before)
        setenv("MAGIC", saved.c_str(), 1);
    else
        unsetenv("MAGIC");
    EXPECT_EQ(description, std::nullopt);
    EXPECT_EQ(type, std::nullopt);
    EXPECT_EQ(lw::RecognisedFileKind(png).value_or("").find("PNG image"), 0u);
}

// Short random strings are what the library's own text checks call text most often.
TEST(FileKind, ShortRandomBytesAreNotCalledText)
{
    lw::TFileKinds kinds;
    int text = 0;
    for (uint32_t seed = 0; seed < 300; ++seed)
        for (size_t size : {2, 3, 4, 8, 15}) {
            const auto description = kinds.Describe(RandomBytes(size, seed));
            text += description && description->find("text") != std::string::npos ? 1 : 0;
        }
    EXPECT_EQ(text, 0);
}

// One handle switches between descriptions and media types on every call.
TEST(FileKind, DescriptionsAndMediaTypesInterleave)
{
    lw::TFileKinds kinds;
    const Bytes& png = KindSampleBytes("gradient.png");
    const Bytes& zip = KindSampleBytes("archive.zip");
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(kinds.MediaType(png), "image/png");
        EXPECT_NE(kinds.Describe(zip).value_or("").find("Zip archive"), std::string::npos);
        EXPECT_EQ(kinds.MediaType(zip), "application/zip");
        EXPECT_NE(kinds.Describe(png).value_or("").find("PNG image"), std::string::npos);
    }
}

TEST(FileKind, ThreadsEachGetTheirOwnAnswers)
{
    std::vector<std::optional<std::string>> serial;
    for (const KindRow& row : kKinds)
        serial.push_back(lw::RecognisedFileKind(KindSampleBytes(row.sample)));
    std::vector<std::vector<std::optional<std::string>>> parallel(4);
    std::vector<std::thread> threads;
    for (auto& answers : parallel)
        threads.emplace_back([&answers] {
            for (int round = 0; round < 5; ++round)
                for (const KindRow& row : kKinds)
                    answers.push_back(lw::RecognisedFileKind(KindSampleBytes(row.sample)));
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& answers : parallel)
        for (size_t i = 0; i < answers.size(); ++i)
            EXPECT_EQ(answers[i], serial[i % serial.size()]) << kKinds[i % serial.size()].sample;
}
