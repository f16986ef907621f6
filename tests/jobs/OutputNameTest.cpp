#include <filesystem>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "TestUtil.h"
#include "jobs/OutputName.h"

using namespace lwtest;
using lw::TJobKind;

namespace {

const std::string kEncryptPrompt =
    "This action will result in overwritinge an existing file! \r\nYES to create a new name, NO to EXIT "
    "without encrypting.\r\nIGNORE to continue and overwrite";
const std::string kDecryptPrompt =
    "This action will result in overwritinge an existing file!  \r\nYES to create a new name, NO to EXIT "
    "without decrypting.\r\nIGNORE to continue and overwrite file";

constexpr lw::TMsgDlgButtons kYesNoIgnore = lw::mbYes | lw::mbNo | lw::mbIgnore;

} // namespace

TEST(OutputName, PathRules)
{
    struct Row {
        TJobKind kind;
        const char* source;
        bool compress;
        const char* folder;
        const char* expected;
    };
    const Row rows[] = {
        // "/" separates on both systems.
        {TJobKind::Encrypt, "/d/report.txt", false, "", "/d/report.txt.fe2"},
        {TJobKind::Encrypt, "/d/report.txt", true, "", "/d/report.txt.fez"},
        {TJobKind::Encrypt, "/d/x.fe2", false, "", "/d/x.fe2.fe2"},
        {TJobKind::Decrypt, "/d/report.txt.fe2", false, "", "/d/report.txt"},
        {TJobKind::Decrypt, "/d/x.fe2.fe2", false, "", "/d/x.fe2"},
        {TJobKind::Decrypt, "photo.fez", false, "", "photo"},
#ifdef _WIN32
        // The folder joins with "\"; "\" and the drive colon end folder parts.
        {TJobKind::Encrypt, "C:\\d\\report.txt", false, "", "C:\\d\\report.txt.fe2"},
        {TJobKind::Encrypt, "C:\\d\\report.txt", true, "D:\\out", "D:\\out\\report.txt.fez"},
        {TJobKind::Encrypt, "C:\\d\\report.txt", false, "D:\\", "D:\\\\report.txt.fe2"},
        {TJobKind::Encrypt, "C:report.txt", false, "", "C:report.txt.fe2"},
        {TJobKind::Decrypt, "C:\\d.x\\notes.feather", false, "", "C:\\d.x\\notes"},
        {TJobKind::Decrypt, "C:/d.x/c.FEZ", true, "E:\\o", "E:\\o\\c"},
        {TJobKind::Decrypt, "C:x.fe2", false, "", "C:x"},
        {TJobKind::Decrypt, "\\\\host\\share\\a.b.fe2", false, "", "\\\\host\\share\\a.b"},
#else
        {TJobKind::Encrypt, "/d/report.txt", false, "/out", "/out/report.txt.fe2"},
        {TJobKind::Encrypt, "/d/report.txt", true, "/out/", "/out//report.txt.fez"},
        {TJobKind::Decrypt, "/d/report.txt.FEZ", true, "/o", "/o/report.txt"},
        {TJobKind::Decrypt, "/d.x/notes.feather", false, "/", "//notes"},
        // "\" is an ordinary character in a Linux name.
        {TJobKind::Encrypt, "/d/a\\b", false, "/o", "/o/a\\b.fe2"},
        {TJobKind::Decrypt, "/d/dir\\a.b\\c.fe2", false, "", "/d/dir\\a.b\\c"},
#endif
    };
    for (const Row& row : rows) {
        lw::TJobOptions options;
        options.SourcePath = row.source;
        options.Compress = row.compress;
        options.DestinationFolder = row.folder;
        EXPECT_EQ(lw::OutputPath(options, row.kind), row.expected) << row.source << " -> " << row.folder;
    }
}

TEST(OutputName, UniqueNameTakesTheFirstFreeNumberAndSaysSo)
{
    struct Row {
        const char* path;
        std::vector<const char*> existing;
        const char* expected;
    };
    const Row rows[] = {
        {"report.txt.fe2", {"report.txt.fe2"}, "report.txt1.fe2"},
        {"report.txt", {"report.txt", "report1.txt", "report2.txt"}, "report3.txt"},
        {"report.txt.fe2", {"report.txt.fe2", "report.txt2.fe2"}, "report.txt1.fe2"}, // a gap is reused
        {"notes", {"notes", "notes1"}, "notes2"},
#ifndef _WIN32
        {"a.b\\c", {"a.b\\c"}, "a1.b\\c"}, // "\" is an ordinary character here
#endif
    };
    for (const Row& row : rows) {
        TempDir dir;
        for (const char* name : row.existing)
            WriteFile(dir / name, {1});
        ScriptedAsk ask;
        EXPECT_EQ(lw::UniqueOutputName(dir / row.path, ask), dir / row.expected);
        ASSERT_EQ(ask.boxes.size(), 1u);
        EXPECT_EQ(ask.boxes[0],
                  (Box{lw::TMsgDlgType::mtConfirmation, "File saved as:" + (dir / row.expected), lw::mbOK}));
    }
}

TEST(OutputName, AFolderIsNoFile)
{
    TempDir dir;
    WriteFile(dir / "notes", {1});
    std::filesystem::create_directory(dir / "notes1");
    ScriptedAsk ask;
    EXPECT_EQ(lw::UniqueOutputName(dir / "notes", ask), dir / "notes1");

    // Nor does a folder at the output path raise the prompt.
    std::string output = dir / "notes1";
    EXPECT_TRUE(lw::SettleExistingOutput(output, TJobKind::Encrypt, ask));
    EXPECT_EQ(output, dir / "notes1");
    EXPECT_EQ(ask.boxes.size(), 1u);
}

TEST(OutputName, SettlingAnExistingOutput)
{
    struct Row {
        TJobKind kind;
        lw::TMsgDlgBtn answer;
        bool goesOn;
        const char* finalName;
    };
    const Row rows[] = {
        {TJobKind::Encrypt, lw::mbYes, true, "out1.fe2"},   {TJobKind::Encrypt, lw::mbNo, false, "out.fe2"},
        {TJobKind::Encrypt, lw::mbIgnore, true, "out.fe2"}, {TJobKind::Encrypt, lw::mbCancel, true, "out.fe2"},
        {TJobKind::Decrypt, lw::mbYes, true, "out1.fe2"},   {TJobKind::Decrypt, lw::mbNo, false, "out.fe2"},
        {TJobKind::Decrypt, lw::mbIgnore, true, "out.fe2"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        WriteFile(dir / "out.fe2", {1});
        std::string output = dir / "out.fe2";
        ScriptedAsk ask({row.answer});
        EXPECT_EQ(lw::SettleExistingOutput(output, row.kind, ask), row.goesOn);
        EXPECT_EQ(output, dir / row.finalName);
        std::vector<Box> expected{{lw::TMsgDlgType::mtConfirmation,
                                   row.kind == TJobKind::Encrypt ? kEncryptPrompt : kDecryptPrompt, kYesNoIgnore}};
        if (row.answer == lw::mbYes)
            expected.push_back({lw::TMsgDlgType::mtConfirmation, "File saved as:" + (dir / row.finalName), lw::mbOK});
        EXPECT_EQ(ask.boxes, expected);
    }
}

TEST(OutputName, NoPromptWithoutAnExistingFile)
{
    TempDir dir;
    std::string output = dir / "fresh.fe2";
    ScriptedAsk ask;
    EXPECT_TRUE(lw::SettleExistingOutput(output, TJobKind::Decrypt, ask));
    EXPECT_TRUE(ask.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(output));
}
