#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <windows.h>

#include "desktop/Opener.h"

namespace {

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

void SetDefault(const std::string& path, const std::string& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

// A file type of our own whose open command copies the file to "<file>.opened". It goes
// in the classes root itself: Wine's shell does not look in the user's classes.
class OpenerType : public testing::Test {
protected:
    void SetUp() override
    {
        SetDefault(".lwopen", "lockwell.test.opener");
        SetDefault("lockwell.test.opener\\shell\\open\\command", "cmd.exe /c copy \"%1\" \"%1.opened\"");
    }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".lwopen");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "lockwell.test.opener");
    }
};

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The opener runs on its own: its copy is complete when it is, within a bound.
bool WaitForContent(const std::string& path, const std::string& content)
{
    for (int i = 0; i < 200; ++i) {
        if (ReadText(path) == content)
            return true;
        Sleep(50);
    }
    return false;
}

TEST_F(OpenerType, RunsTheTypesOpenCommandOnTheFile)
{
    for (const std::string name : {"plain.lwopen", "with blanks and ; in it.lwopen"}) {
        const std::string path = TempFolder() + name;
        {
            std::ofstream out(path, std::ios::binary);
            out << "content of " << name;
        }
        EXPECT_TRUE(lw::OpenDetached(path)) << name;
        EXPECT_TRUE(WaitForContent(path + ".opened", "content of " + name)) << name;
        DeleteFileA((path + ".opened").c_str());
        DeleteFileA(path.c_str());
    }
}

TEST_F(OpenerType, MissingFileStartsNothing)
{
    const std::string path = TempFolder() + "absent.lwopen";
    DeleteFileA(path.c_str());
    EXPECT_FALSE(lw::OpenDetached(path));
    EXPECT_EQ(GetFileAttributesA((path + ".opened").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
