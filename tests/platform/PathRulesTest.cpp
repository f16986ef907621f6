#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Path.h"
#include "platform/PathShortener.h"

// The Windows path rules, which every build can check: "\" and the drive colon.
namespace {

using lw::path::kWindowsRules;
using lw::path::TPathRules;

// Shift-JIS lead bytes: the second byte of such a character may be "\" (0x5C).
bool ShiftJisLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr TPathRules kShiftJisRules{'\\', ':', &ShiftJisLead};

struct Measured {
    std::vector<std::string> texts;
};

// One pixel per character.
std::string Shorten(const std::string& path, int width, const TPathRules& rules = kWindowsRules,
                    Measured* measured = nullptr)
{
    return lw::ShortenPathToWidth(
        path,
        [&](const std::string& text) {
            if (measured)
                measured->texts.push_back(text);
            return static_cast<int>(text.size());
        },
        width, rules);
}

TEST(WindowsPathRules, WalksTheExampleOnePassAtATime)
{
    const std::string path = "C:\\Program Files\\Tools\\Bin\\app.exe";
    const std::vector<std::string> walk = {
        "C:\\Program Files\\Tools\\Bin\\app.exe",
        "C:\\...\\Tools\\Bin\\app.exe",
        "C:\\...\\Bin\\app.exe",
        "C:\\...\\app.exe",
        "...\\app.exe",
        "app.exe",
    };
    for (std::size_t i = 0; i < walk.size(); ++i) {
        Measured m;
        EXPECT_EQ(Shorten(path, static_cast<int>(walk[i].size()), kWindowsRules, &m), walk[i]) << "pass " << i;
        // Measured once per pass, on the whole result; the bare name is not measured.
        const auto passes = static_cast<long>(std::min<std::size_t>(i + 1, walk.size() - 1));
        EXPECT_EQ(m.texts, std::vector<std::string>(walk.begin(), walk.begin() + passes)) << "pass " << i;
    }
}

TEST(WindowsPathRules, EdgeCases)
{
    const struct {
        const char* path;
        int width;
        const char* result;
    } cases[] = {
        {"C:\\app.exe", 10, "C:\\app.exe"}, // fits
        {"C:\\app.exe", 9, "C:app.exe"},    // a root folder part goes first, the drive stays
        {"C:\\app.exe", 8, "app.exe"},
        {"C:app.exe", 8, "app.exe"},     // a drive with no folder part
        {"report.fe2", 1, "report.fe2"}, // a bare name, whatever the width
        {"C:\\a\\very-long-name.fez", 3, "very-long-name.fez"},
        {"\\\\server\\share\\dir\\f", 16, "\\...\\share\\dir\\f"}, // no drive: R stays empty
        {"\\\\server\\share\\dir\\f", 10, "\\...\\dir\\f"},
        {"\\\\server\\share\\dir\\f", 6, "\\...\\f"},
        {"\\\\server\\share\\dir\\f", 5, "...\\f"},
        {"dirs\\sub\\f", 9, "...\\sub\\f"}, // relative: never rooted
        {"dirs\\sub\\f", 8, "...\\f"},
        {"dirs\\sub\\f", 1, "f"},
        {"C:\\.hidden\\f", 8, "C:\\...\\f"}, // a dot folder is cut like any other
        {"C:\\ab\\cd\\", 8, "C:\\...\\"},    // a folder path: the name part is empty
        {"C:\\ab\\cd\\", 6, "...\\"},
        {"C:\\ab\\cd\\", 3, ""},
        {"C:/a/b.txt", 9, "/a/b.txt"}, // "/" is no separator here: "C:" is the folder part
        {"", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shorten(c.path, c.width), c.result) << c.path << " in " << c.width;
}

TEST(WindowsPathRules, DropLeadingDirectorySteps)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"\\", ""},
        {"\\Program Files\\Tools\\", "\\...\\Tools\\"},
        {"\\...\\Tools\\", "\\...\\"},
        {"\\...\\", "\\"},
        {"a\\b\\", "...\\b\\"},
        {"...\\b\\", "...\\"},
        {"...\\", ""},
        {"a\\", "...\\"},
        {"a/b\\", "...\\"}, // "/" belongs to the folder's name
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::DropLeadingDirectory(c.in, kWindowsRules), c.out) << c.in;
}

TEST(WindowsPathRules, SplitsAtTheLastBackslashOrColon)
{
    namespace path = lw::path;
    const struct {
        const char* path;
        const char* folder;
        const char* name;
        const char* ext;
    } cases[] = {
        {"C:\\Docs\\report.txt.fe2", "C:\\Docs\\", "report.txt.fe2", ".fe2"},
        {"C:report.FEZ", "C:", "report.FEZ", ".FEZ"},
        {"C:\\data.fez\\file", "C:\\data.fez\\", "file", ""},
        {"C:\\x\\name.", "C:\\x\\", "name.", "."},
        {"D:", "D:", "", ""},
        {"plain", "", "plain", ""},
        {"C:\\a/b.c", "C:\\", "a/b.c", ".c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(path::ExtractFilePath(c.path, kWindowsRules), c.folder) << c.path;
        EXPECT_EQ(path::ExtractFileName(c.path, kWindowsRules), c.name) << c.path;
        EXPECT_EQ(path::ExtractFileExt(c.path, kWindowsRules), c.ext) << c.path;
    }
    EXPECT_EQ(path::PathWithoutExt("C:\\Docs\\a.txt.fe2", kWindowsRules), "C:\\Docs\\a.txt");
    EXPECT_EQ(path::JoinDestination("C:\\Out\\", "a.txt", kWindowsRules), "C:\\Out\\\\a.txt");
}

TEST(WindowsPathRules, SecondByteOfADoubleByteCharacterIsNoSeparator)
{
    namespace path = lw::path;
    // "\x95\x5C" is one character whose second byte is the backslash's code.
    const std::string trailing = "C:\\dir\\\x95\x5C";
    EXPECT_EQ(path::ExtractFileName(trailing, kShiftJisRules), "\x95\x5C");
    EXPECT_EQ(path::ExtractFileName(trailing, kWindowsRules), "") << "single-byte rules cut it";
    EXPECT_EQ(path::ExtractFilePath(trailing, kShiftJisRules), "C:\\dir\\");
    EXPECT_EQ(path::ExtractFileExt("C:\\a.b\x95\\c", kShiftJisRules), ".b\x95\\c");

    EXPECT_EQ(lw::DropLeadingDirectory("\\\x95\x5C\\sub\\", kShiftJisRules), "\\...\\sub\\");
    EXPECT_EQ(Shorten("C:\\\x95\x5C\\sub\\f", 10, kShiftJisRules), "C:\\...\\f");
}

} // namespace
