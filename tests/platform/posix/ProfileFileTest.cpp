#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace {

using lwtest::TempDir;

std::string Text(const std::string& path)
{
    const auto bytes = lwtest::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void Put(const std::string& path, const std::string& text)
{
    lwtest::WriteFile(path, lwtest::Bytes(text.begin(), text.end()));
}

struct IntegerCase {
    const char* text;
    bool ok;
    int32_t value;
};

TEST(ProfileFile, ParsesIntegersLikeTheSettingsReader)
{
    const IntegerCase cases[] = {
        {"7", true, 7},
        {"0", true, 0},
        {"-5", true, -5},
        {"+3", true, 3},
        {"   12", true, 12},
        {"0x2", true, 2},
        {"0X1f", true, 31},
        {"$10", true, 16},
        {"x1A", true, 26},
        {"X7", true, 7},
        {"-0x10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"$100000000", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {"0x", false, 0},
        {"$", false, 0},
        {"7 ", false, 0},
        {"1.5", false, 0},
        {"\t4", false, 0},
        {"- 4", false, 0},
        {"0x-4", false, 0},
        {"08", true, 8},
        {"x", false, 0},
    };
    for (const auto& c : cases) {
        int32_t value = 12345;
        EXPECT_EQ(lw::profile::ParseInteger(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok)
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        else
            EXPECT_EQ(value, 12345) << "failed parse must leave the value alone";
    }
}

TEST(ProfileFile, CreatesFileSectionAndKey)
{
    TempDir dir;
    const auto ini = dir / "lockwell.ini";
    ASSERT_TRUE(lw::profile::WritePrivateProfileString("Options", "Cipher", "1", ini));
    EXPECT_EQ(Text(ini), "[Options]\r\nCipher=1\r\n");
    ASSERT_TRUE(lw::profile::WritePrivateProfileString("Options", "Cipher", "3", ini));
    EXPECT_EQ(Text(ini), "[Options]\r\nCipher=3\r\n");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 3);
}

TEST(ProfileFile, ReplacesOnlyItsOwnLine)
{
    TempDir dir;
    const auto ini = dir / "a.ini";
    Put(ini, "; note\n[Other]\nCipher=9\n\n[options]\nColour = red\n  CIPHER = 0x2 \nLast=1\n\n[Tail]\nx=y");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 2);
    EXPECT_EQ(lw::profile::GetPrivateProfileString("Options", "Colour", "", ini), "red");
    ASSERT_TRUE(lw::profile::WritePrivateProfileString("Options", "Cipher", "2", ini));
    EXPECT_EQ(Text(ini),
              "; note\r\n[Other]\r\nCipher=9\r\n\r\n[options]\r\nColour = red\r\nCipher=2\r\n"
              "Last=1\r\n\r\n[Tail]\r\nx=y\r\n");
}

TEST(ProfileFile, AddsMissingKeyAfterTheSectionsLastEntry)
{
    TempDir dir;
    const auto ini = dir / "a.ini";
    Put(ini, "[Options]\r\nA=1\r\n\r\n[B]\r\nC=2\r\n");
    ASSERT_TRUE(lw::profile::WritePrivateProfileString("Options", "Cipher", "0", ini));
    EXPECT_EQ(Text(ini), "[Options]\r\nA=1\r\nCipher=0\r\n\r\n[B]\r\nC=2\r\n");
    ASSERT_TRUE(lw::profile::WritePrivateProfileString("New", "K", "v", ini));
    EXPECT_EQ(Text(ini), "[Options]\r\nA=1\r\nCipher=0\r\n\r\n[B]\r\nC=2\r\n[New]\r\nK=v\r\n");
}

TEST(ProfileFile, ReadsDefaultsWhenSomethingIsMissing)
{
    TempDir dir;
    const auto ini = dir / "a.ini";
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 1) << "no file";
    Put(ini, "[Other]\r\nCipher=3\r\n");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 1) << "key in another section";
    Put(ini, "[Options]\r\nCiphers=3\r\n");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 1) << "similar key";
    Put(ini, "[Options]\r\nCipher=abc\r\n");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 1) << "not a number";
    Put(ini, "[Options]\r\nCipher=\"7\"\r\n");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 7) << "quotes are dropped";
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, dir.Path()), 1) << "a folder";
}

TEST(ProfileFile, CutsLongValues)
{
    TempDir dir;
    const auto ini = dir / "a.ini";
    const std::string longValue(3000, 'v');
    ASSERT_TRUE(lw::profile::WritePrivateProfileString("Options", "Long", longValue, ini));
    EXPECT_EQ(lw::profile::GetPrivateProfileString("Options", "Long", "", ini),
              std::string(lw::profile::kMaxValueLength, 'v'));
    // A digit past the 2,047th character is cut off: "x000...0" reads as 0, not 2.
    Put(ini, "[Options]\r\nCipher=x" + std::string(2046, '0') + "2\r\n");
    EXPECT_EQ(lw::profile::ReadInteger("Options", "Cipher", 1, ini), 0);
}

TEST(ProfileFile, ReportsAnUnwritableFile)
{
    TempDir dir;
    EXPECT_FALSE(lw::profile::WritePrivateProfileString("Options", "Cipher", "1", dir / "missing/a.ini"));
    EXPECT_FALSE(lw::profile::WritePrivateProfileString("Options", "Cipher", "1", dir.Path()));
}

} // namespace
