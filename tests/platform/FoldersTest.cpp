#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestUtil.h"
#include "platform/Folders.h"

using namespace lwtest;
namespace stdfs = std::filesystem;

namespace {

std::vector<std::string> Entries(const std::string& root)
{
    std::vector<std::string> names;
    for (const auto& entry : stdfs::recursive_directory_iterator(root))
        names.push_back(entry.path().lexically_relative(root).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Folders, RemoveEmptyFoldersUpToStopsAtTopAndAtTheFirstNonEmptyFolder)
{
    struct TRow {
        const char* what;
        std::vector<std::string> dirs;  // made below the root first
        std::vector<std::string> files; // the same
        std::string top, start;
        std::vector<std::string> left;
    };
    const std::vector<TRow> rows = {
        {"all empty: up to top", {"top/a/b/c"}, {}, "top", "top/a/b/c", {"top"}},
        {"trailing slash", {"top/a/b"}, {}, "top", "top/a/b/", {"top"}},
        {"a file above stops it", {"top/a/b/c"}, {"top/a/keep"}, "top", "top/a/b/c", {"top", "top/a", "top/a/keep"}},
        {"a sibling folder stops it", {"top/a/b", "top/a/x"}, {}, "top", "top/a/b", {"top", "top/a", "top/a/x"}},
        {"start not empty: nothing", {"top/a"}, {"top/a/f"}, "top", "top/a", {"top", "top/a", "top/a/f"}},
        {"start is top: nothing", {"top"}, {}, "top", "top", {"top"}},
        {"only a name prefix of top: nothing", {"top", "topx/a"}, {}, "top", "topx/a", {"top", "topx", "topx/a"}},
        {"outside top: nothing", {"top", "other/a"}, {}, "top", "other/a", {"other", "other/a", "top"}},
    };
    for (const TRow& row : rows) {
        TempDir root;
        for (const auto& dir : row.dirs)
            stdfs::create_directories(root / dir);
        for (const auto& file : row.files)
            WriteFile(root / file, {});
        lw::RemoveEmptyFoldersUpTo(root / row.top, root / row.start);
        EXPECT_EQ(Entries(root.Path()), row.left) << row.what;
    }
}

TEST(Folders, RemoveEmptyFoldersUpToDoesNotRemoveALinkedFolder)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege Windows users lack";
#endif
    TempDir root;
    stdfs::create_directories(root / "real/sub");
    stdfs::create_directories(root / "top");
    stdfs::create_directory_symlink(root / "real", root / "top/link");
    lw::RemoveEmptyFoldersUpTo(root / "top", root / "top/link/sub");
    EXPECT_EQ(Entries(root.Path()), (std::vector<std::string>{"real", "top", "top/link"}));
}

} // namespace
