// Windows paths made absolute: drive letters, the current drive's root, UNC shares, and
// ".." as Windows itself resolves it (lexically, never above the drive or share).
#include <string>

#include <gtest/gtest.h>

#include "platform/AbsolutePath.h"

namespace {

struct Row {
    const char* path;
    const char* current;
    const char* expected;
};

TEST(WindowsAbsolutePath, DrivesRootsSharesAndDots)
{
    const Row rows[] = {
        {"a.txt", "C:\\docs", "C:\\docs\\a.txt"},
        {"sub/a.txt", "C:\\docs\\", "C:\\docs\\sub\\a.txt"},
        {".\\a.txt", "C:\\docs", "C:\\docs\\a.txt"},
        {"..\\a.txt", "C:\\docs\\x", "C:\\docs\\a.txt"},
        {"..\\..\\..\\a.txt", "C:\\docs", "C:\\a.txt"},
        {"D:\\x\\\\y\\.\\z", "C:\\docs", "D:\\x\\y\\z"},
        {"\\top\\a", "E:\\docs", "E:\\top\\a"},
        {"C:a.txt", "C:\\docs", "C:\\docs\\a.txt"},
        {"D:a.txt", "C:\\docs", "D:\\a.txt"},
        {"\\\\server\\share\\d\\..\\..\\f", "C:\\", "\\\\server\\share\\f"},
        {"//server/share/f", "C:\\", "\\\\server\\share\\f"},
        {"a.txt", "\\\\server\\share\\d", "\\\\server\\share\\d\\a.txt"},
        {"C:\\", "D:\\", "C:\\"},
        {"folder\\", "C:\\docs", "C:\\docs\\folder\\"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(lw::path::AbsolutePath(row.path, row.current), row.expected) << row.path << " in " << row.current;
}

TEST(WindowsAbsolutePath, RelativeToTheProcessFolder)
{
    const std::string made = lw::path::AbsolutePath("x.bin");
    ASSERT_GE(made.size(), 8u);
    EXPECT_EQ(made[1], ':');
    EXPECT_EQ(made.substr(made.size() - 6), "\\x.bin");
}

} // namespace
