#include "platform/FolderList.h"

#include <algorithm>
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/Exception.h"

namespace {

using Lines = std::vector<std::string>;

TEST(FolderList, SplitsOnEveryLineEnd)
{
    const struct {
        std::string text;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"/a", {"/a"}},
        {"/a\r\n", {"/a"}},
        {"/a\r\n/b\r\n", {"/a", "/b"}},
        {"/a\n/b\r/c\r\n/d", {"/a", "/b", "/c", "/d"}},
        {"\r\n", {""}},
        {"/a\r\n\r\n/b\r\n", {"/a", "", "/b"}},
        {"/a\r\r/b", {"/a", "", "/b"}},
        {"/a\n\n/b", {"/a", "", "/b"}},
        {"/a\n\r/b", {"/a", "", "/b"}},
        {"/a\r\n/b", {"/a", "/b"}},
        {std::string("/a\r\n/b\0/c\r\n", 11), {"/a", "/b"}},
        {std::string("\0/a", 3), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::SplitFolderList(c.text), c.lines) << lwtest::ToHex(lwtest::Bytes(c.text.begin(), c.text.end()));
}

TEST(FolderList, WritesEveryLineWithCrLf)
{
    EXPECT_EQ(lw::JoinFolderList({}), "");
    EXPECT_EQ(lw::JoinFolderList({""}), "\r\n");
    EXPECT_EQ(lw::JoinFolderList({"/a b", "", "/c"}), "/a b\r\n\r\n/c\r\n");
}

TEST(FolderList, RoundTripsThroughTheFile)
{
    lwtest::TempDir dir;
    const auto dat = dir / "lockwell.dat";
    const Lines lines = {"/home/ann/Documents", "", "/tmp/x y", "/tmp/x y", "/\xc3\xa9t\xc3\xa9"};
    lw::WriteFolderList(dat, lines);
    EXPECT_EQ(lw::ReadFolderList(dat), lines);
    lw::WriteFolderList(dat, {});
    EXPECT_TRUE(lwtest::ReadFile(dat).empty()) << "an empty list gives an empty file";
    EXPECT_TRUE(lw::ReadFolderList(dat).empty());
}

TEST(FolderList, RaisesWhenTheFileCannotBeUsed)
{
    lwtest::TempDir dir;
    EXPECT_THROW(lw::ReadFolderList(dir / "missing.dat"), lw::Exception);
    EXPECT_THROW(lw::WriteFolderList(dir / "no/such/folder.dat", {"/a"}), lw::Exception);
    EXPECT_THROW(lw::WriteFolderList(dir.Path(), {"/a"}), lw::Exception);
}

TEST(FolderList, SortsWithoutRegardToLetterCase)
{
    Lines lines = {"/b", "/A", "", "/a", "/B/c", "/_x", "/Z"};
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return lw::FolderSortsBefore(a, b); });
    // Folding to lower case puts "_" (0x5F) before the letters.
    EXPECT_EQ(lines, (Lines{"", "/_x", "/A", "/a", "/b", "/B/c", "/Z"}));
    EXPECT_FALSE(lw::FolderSortsBefore("/Docs", "/docs"));
    EXPECT_FALSE(lw::FolderSortsBefore("/docs", "/Docs"));
}

} // namespace
