#include <gtest/gtest.h>

#include <string>

#include "platform/Path.h"
#include "platform/PathShortener.h"

// Without rules named, the functions follow this system's: "\" and the drive colon.
namespace {

namespace path = lw::path;

TEST(NativePathRules, AreTheWindowsOnes)
{
    EXPECT_EQ(path::kSeparator, '\\');
    EXPECT_EQ(path::ExtractFileExt("C:\\data.fez\\file"), "");
    EXPECT_EQ(path::ExtractFileExt("C:report.FEZ"), ".FEZ");
    EXPECT_EQ(path::ExtractFilePath("C:\\Docs\\a.txt"), "C:\\Docs\\");
    EXPECT_EQ(path::ExtractFileName("C:a.txt"), "a.txt");
    EXPECT_EQ(path::JoinDestination("C:\\Out", "a.txt"), "C:\\Out\\a.txt");
    // Windows takes "/" too: a path typed so still names its folder and file.
    EXPECT_EQ(path::ExtractFilePath("C:/Docs/a.txt"), "C:/Docs/");
    EXPECT_EQ(path::ExtractFileName("C:/Docs\\sub/a.txt.fe2"), "a.txt.fe2");
    EXPECT_EQ(path::PathWithoutExt("C:/data.fez/file"), "C:/data.fez/file");
    // Plain ASCII never starts a double-byte character, whatever the code page.
    for (int c = 0; c < 0x80; ++c)
        EXPECT_FALSE(path::IsSystemLeadByte(static_cast<unsigned char>(c))) << c;
}

TEST(NativePathRules, ShortenTheExample)
{
    const auto width = [](const std::string& text) { return static_cast<int>(text.size()); };
    const std::string path = "C:\\Program Files\\Tools\\Bin\\app.exe";
    EXPECT_EQ(lw::ShortenPathToWidth(path, width, 24), "C:\\...\\Tools\\Bin\\app.exe");
    EXPECT_EQ(lw::ShortenPathToWidth(path, width, 14), "C:\\...\\app.exe");
    EXPECT_EQ(lw::ShortenPathToWidth(path, width, 13), "...\\app.exe");
    EXPECT_EQ(lw::ShortenPathToWidth("C:\\app.exe", width, 9), "C:app.exe");
}

} // namespace
