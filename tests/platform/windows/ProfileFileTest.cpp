#include <windows.h>

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "platform/ProfileFile.h"

namespace {

namespace profile = lw::profile;

class WindowsProfile : public testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        m_path = std::string(folder) + "lockwell-profile-" + std::to_string(GetCurrentProcessId()) + ".ini";
        DeleteFileA(m_path.c_str());
    }
    void TearDown() override { DeleteFileA(m_path.c_str()); }

    void WriteRaw(const std::string& bytes)
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string ReadRaw() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    int32_t Cipher() const { return profile::ReadInteger("Options", "Cipher", 1, m_path); }

    std::string m_path;
};

TEST_F(WindowsProfile, StoredCipherReadsAsTheIndex)
{
    const struct {
        const char* file;
        int32_t cipher;
    } cases[] = {
        // clang-format off
        {"[Options]\r\nCipher=7\r\n", 7},   // the radio group clamps it to 3 later
        {"[Options]\r\nCipher=0x2\r\n", 2},
        {"[Options]\r\nCipher=abc\r\n", 1}, // not a number: the default
        {"[Options]\r\nCipher=-5\r\n", -5},
        {"[Options]\r\nCipher=0\r\n", 0},
        {"[Options]\r\nCipher=$A\r\n", 10},
        {"[Options]\r\nCipher=  3  \r\n", 3},  // blanks around the value go
        {"[Options]\r\nCipher=\"2\"\r\n", 2},  // so do enclosing quotes
        {"[options]\r\nCIPHER=3\r\n", 3},      // names match in any case
        {"[Options]\nCipher=2\n", 2},          // lone line feeds end lines too
        {"[Options]\r\nCipher=\r\n", 1},
        {"[Other]\r\nCipher=3\r\n", 1},
        {"[Options]\r\nKey=3\r\n", 1},
        {"[Options]\r\nCipher=2\r\n[Options2]\r\nCipher=3\r\n", 2},
        // clang-format on
    };
    for (const auto& c : cases) {
        WriteRaw(c.file);
        EXPECT_EQ(Cipher(), c.cipher) << c.file;
    }
    DeleteFileA(m_path.c_str());
    EXPECT_EQ(Cipher(), 1) << "no file";
}

TEST_F(WindowsProfile, ValueIsCutTo2047Characters)
{
    WriteRaw("[Options]\r\nLong=" + std::string(3000, 'v') + "\r\n");
    EXPECT_EQ(profile::GetPrivateProfileString("Options", "Long", "", m_path), std::string(2047, 'v'));
    EXPECT_EQ(profile::GetPrivateProfileString("Options", "Missing", "fallback", m_path), "fallback");
}

TEST_F(WindowsProfile, WriteCreatesTheFileWithCrlfLines)
{
    ASSERT_TRUE(profile::WritePrivateProfileString("Options", "Cipher", "1", m_path));
    EXPECT_EQ(ReadRaw(), "[Options]\r\nCipher=1\r\n");
    ASSERT_TRUE(profile::WritePrivateProfileString("Options", "Cipher", "3", m_path));
    EXPECT_EQ(ReadRaw(), "[Options]\r\nCipher=3\r\n");
    EXPECT_EQ(Cipher(), 3);
}

TEST_F(WindowsProfile, WriteReplacesTheValueAndKeepsTheOtherLines)
{
    WriteRaw("[Other]\r\nx=1\r\n[Options]\r\nCipher=-5\r\nFoo=bar\r\n");
    ASSERT_TRUE(profile::WritePrivateProfileString("Options", "Cipher", "2", m_path));
    EXPECT_EQ(ReadRaw(), "[Other]\r\nx=1\r\n[Options]\r\nCipher=2\r\nFoo=bar\r\n");

    WriteRaw("[Other]\r\nx=1\r\n");
    ASSERT_TRUE(profile::WritePrivateProfileString("Options", "Cipher", "0", m_path));
    EXPECT_EQ(ReadRaw(), "[Other]\r\nx=1\r\n[Options]\r\nCipher=0\r\n");
}

TEST_F(WindowsProfile, WriteIntoAMissingFolderFails)
{
    const std::string path = m_path + ".missing\\settings.ini";
    EXPECT_FALSE(profile::WritePrivateProfileString("Options", "Cipher", "1", path));
    EXPECT_EQ(profile::ReadInteger("Options", "Cipher", 1, path), 1);
}

} // namespace
