#include <gtest/gtest.h>

#include <string>

#include "platform/Path.h"
#include "platform/PathShortener.h"
#include "platform/windows/Unicode.h"

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

// Text crosses to the system as UTF-16 from UTF-8, and from the code page where it is not
// UTF-8 (lists written by earlier versions); long full paths get the prefix that lifts the
// 260-character limit.
TEST(WindowsText, CrossesTheBoundaryWhole)
{
    namespace win = lw::win;
    EXPECT_EQ(win::Wide("\xC5\x81\xC3\xB3"
                        "d\xC5\xBA.txt"),
              L"\u0141\u00F3d\u017A.txt");                                                   // Łódź.txt
    EXPECT_EQ(win::Narrow(L"\u0444\u0430\u0439\u043B"), "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB"); // файл
    if (GetACP() == 1252) {
        EXPECT_EQ(win::Wide("caf\xE9"), L"caf\u00E9");
    }
    const std::string folder = "C:\\" + std::string(250, 'd');
    const struct {
        std::string path;
        std::wstring wide;
    } rows[] = {
        {"C:/Docs/a.txt", L"C:\\Docs\\a.txt"},
        {folder + "\\file.txt", L"\\\\?\\" + win::Wide(folder) + L"\\file.txt"},
        {"\\\\server\\share\\" + std::string(250, 'd'), L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L'd')},
        {std::string(270, 'r'), std::wstring(270, L'r')}, // relative: no prefix can be put on it
    };
    for (const auto& row : rows)
        EXPECT_EQ(win::WidePath(row.path), row.wide) << row.path;
}

// A phrase is keyed in the code page where it fits exactly, as the window always did, and
// in UTF-8 where it does not: never as question marks.
TEST(WindowsText, PhrasesKeyInTheCodePageOnlyWhenTheyFit)
{
    namespace win = lw::win;
    EXPECT_EQ(win::PhraseBytes(L"ascii phrase"), "ascii phrase");
    EXPECT_EQ(win::PhraseBytes(L"\u043F\u0430\u0440\u043E\u043B\u044C"),
              GetACP() == 1251 ? "\xEF\xE0\xF0\xEE\xEB\xFC"
                               : "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C"); // пароль
    if (GetACP() == 1252) {
        EXPECT_EQ(win::PhraseBytes(L"caf\u00E9 Gr\u00FC\u00DFe"),
                  "caf\xE9 Gr\xFC\xDF"
                  "e");
        EXPECT_EQ(win::PhraseBytes(L"\u5BC6\u7801"), "\xE5\xAF\x86\xE7\xA0\x81"); // 密码
    }
}

} // namespace
