#include "platform/PathShortener.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

// One pixel per character: widths are easy to reason about.
struct CountingMeasurer {
    std::vector<std::string> measured;
    int operator()(const std::string& text)
    {
        measured.push_back(text);
        return static_cast<int>(text.size());
    }
};

std::string Shorten(const std::string& path, int width, CountingMeasurer* counter = nullptr)
{
    CountingMeasurer local;
    CountingMeasurer& m = counter ? *counter : local;
    return lw::ShortenPathToWidth(
        path, [&](const std::string& t) { return m(t); }, width);
}

TEST(PathShortener, WalksOutOneFolderPerPass)
{
    // The example walk, with "/" for the separator and no drive part.
    const std::string path = "/Program Files/Tools/Bin/app.exe";
    const std::vector<std::string> walk = {
        "/Program Files/Tools/Bin/app.exe",
        "/.../Tools/Bin/app.exe",
        "/.../Bin/app.exe",
        "/.../app.exe",
        ".../app.exe",
        "app.exe",
    };
    for (std::size_t i = 0; i < walk.size(); ++i) {
        CountingMeasurer m;
        EXPECT_EQ(Shorten(path, static_cast<int>(walk[i].size()), &m), walk[i]) << "pass " << i;
        // Measured once per pass, on the whole result; a bare name is not measured again.
        const auto measured = static_cast<long>(std::min<std::size_t>(i + 1, walk.size() - 1));
        EXPECT_EQ(m.measured, std::vector<std::string>(walk.begin(), walk.begin() + measured));
    }
    EXPECT_EQ(Shorten(path, 0), "app.exe") << "the name is never cut";
}

TEST(PathShortener, EdgeCases)
{
    const struct {
        const char* path;
        int width;
        const char* result;
    } cases[] = {
        {"/home/ann/a.txt", 15, "/home/ann/a.txt"}, // fits exactly
        {"/home/ann/a.txt", 1000, "/home/ann/a.txt"},
        {"bare-name.txt", 1, "bare-name.txt"}, // no folder: unchanged whatever the width
        {"/a.txt", 6, "/a.txt"},
        {"/a.txt", 5, "a.txt"}, // "/" alone is cut to nothing
        {"/a.txt", 0, "a.txt"},
        {"/home/ann/a-very-long-name.txt", 5, "a-very-long-name.txt"},
        {"relative/dir/x", 12, ".../dir/x"}, // no leading separator: never rooted
        {"relative/dir/x", 6, ".../x"},
        {"relative/dir/x", 1, "x"},
        {"//server/share/dir/f", 19, "/.../share/dir/f"},
        {"//server/share/dir/f", 14, "/.../dir/f"},
        {"/home/.hidden/f", 13, "/.../f"}, // a dot folder is cut like any other
        {"/home/ann/", 9, "/.../ann/"},    // a folder path: the name part is empty
        {"/home/ann/", 8, "/.../"},
        {"/home/ann/", 4, ".../"},
        {"/home/ann/", 2, ""},
        {"/.../x", 5, ".../x"},
        {"/ä/ö/f", 7, "/.../f"}, // UTF-8: "/" never occurs inside a character
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shorten(c.path, c.width), c.result) << c.path << " in " << c.width;
}

TEST(PathShortener, EmptyPathIsNotMeasured)
{
    CountingMeasurer m;
    EXPECT_EQ(Shorten("", 0, &m), "");
    EXPECT_TRUE(m.measured.empty());
}

TEST(PathShortener, DropsTheLeadingDirectory)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"/", ""},
        {"/a/b/c/", "/.../b/c/"},
        {"/.../b/c/", "/.../c/"},
        {"/.../c/", "/.../"},
        {"/.../", "/"},
        {".../", ""},
        {"a/b/", ".../b/"},
        {".../b/", ".../"},
        {"a/", ".../"},
        {"", ""},
        {"//srv/x/", "/.../srv/x/"},
        {"/.hidden/x/", "/.../x/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::DropLeadingDirectory(c.in), c.out) << c.in;
}

} // namespace
