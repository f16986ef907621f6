#include <gtest/gtest.h>

#include "platform/Path.h"

using namespace lw::path;

TEST(Path, ExtensionNameAndFolder)
{
    struct Row {
        const char* path;
        const char* ext;
        const char* noExt;
        const char* name;
        const char* folder;
    };
    const Row rows[] = {
        {"/docs/report.txt", ".txt", "/docs/report", "report.txt", "/docs/"},
        {"/docs/report.txt.fe2", ".fe2", "/docs/report.txt", "report.txt.fe2", "/docs/"},
        {"/data.fez/file", "", "/data.fez/file", "file", "/data.fez/"},
        {"/a/name.", ".", "/a/name", "name.", "/a/"},
        {"readme", "", "readme", "readme", ""},
        {"/a/b\\c.x", ".x", "/a/b\\c", "b\\c.x", "/a/"}, // backslash is an ordinary character
        {"/a/.hidden", ".hidden", "/a/", ".hidden", "/a/"},
        {"C:x.y", ".y", "C:x", "C:x.y", ""}, // no drive part here
        {"/", "", "/", "", "/"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ExtractFileExt(r.path), r.ext) << r.path;
        EXPECT_EQ(PathWithoutExt(r.path), r.noExt) << r.path;
        EXPECT_EQ(ExtractFileName(r.path), r.name) << r.path;
        EXPECT_EQ(ExtractFilePath(r.path), r.folder) << r.path;
    }
}

TEST(Path, JoinAlwaysAddsTheSeparatorAndLowerCaseIsAsciiOnly)
{
    EXPECT_EQ(JoinDestination("/out", "a.fe2"), "/out/a.fe2");
    EXPECT_EQ(JoinDestination("/out/", "a.fe2"), "/out//a.fe2");
    EXPECT_EQ(LowerAscii(".FeZ\xC3\x89"), ".fez\xC3\x89");
}
