// Icons in every size with their theme cache, and a removal that leaves the per-user
// folders exactly as they were. Needs gtk-update-icon-cache (Debian package of that name).
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <filesystem>
#include <sys/stat.h>
#include <tuple>

#include "ShellTestEnv.h"
#include "desktop/ShellEntries.h"

using namespace lwtest;

namespace {

const std::string kProgram = "/opt/lockwell/bin/lockwell";

long long MtimeNs(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

bool Contains(const std::string& text, const std::string& what)
{
    return text.find(what) != std::string::npos;
}

// Kind, mode and content of every entry; shared files are rewritten, so times differ.
std::map<std::string, std::tuple<char, unsigned, std::string>> Shape(const std::string& root)
{
    std::map<std::string, std::tuple<char, unsigned, std::string>> shape;
    for (const auto& [path, entry] : Snapshot(root))
        shape[path] = {entry.kind, entry.mode, entry.content};
    return shape;
}

// PATH holds the icon cache tool and nothing else.
void OnlyIconCacheTool(ShellTestEnv& env)
{
    const QString tool = QStandardPaths::findExecutable("gtk-update-icon-cache");
    ASSERT_FALSE(tool.isEmpty()) << "gtk-update-icon-cache missing: install the package gtk-update-icon-cache";
    const std::string dir = env.Root() + "/icon-tool";
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(tool.toStdString(), dir + "/gtk-update-icon-cache");
    env.Set("PATH", dir);
}

TEST(ShellEntriesIcons, CacheIsBuiltUsableAndGoesWithTheLastIcon)
{
    ShellTestEnv env;
    ASSERT_NO_FATAL_FAILURE(OnlyIconCacheTool(env));
    const std::string hicolor = env.Data() + "/icons/hicolor";
    lw::InstallShellEntries(kProgram);
    const std::string cache = ReadText(hicolor + "/icon-theme.cache");
    for (const char* name : {"lockwell", "application-x-lockwell-encrypted", "32x32", "48x48", "256x256", "scalable"})
        EXPECT_TRUE(Contains(cache, name)) << name;
    // GTK ignores a cache older than its folder.
    EXPECT_GE(MtimeNs(hicolor + "/icon-theme.cache") / 1000000000, MtimeNs(hicolor) / 1000000000);

    lw::RemoveShellEntries();
    EXPECT_FALSE(std::filesystem::exists(env.Data() + "/icons"));
}

TEST(ShellEntriesIcons, ForeignIconKeepsItsFoldersAndARebuiltCache)
{
    ShellTestEnv env;
    ASSERT_NO_FATAL_FAILURE(OnlyIconCacheTool(env));
    const std::string hicolor = env.Data() + "/icons/hicolor";
    const std::string foreign = hicolor + "/48x48/apps/other-app.png";
    std::filesystem::create_directories(hicolor + "/48x48/apps");
    std::filesystem::copy_file(std::string(LOCKWELL_TEST_DATA_DIR) + "/../../desktop/resources/icons/lockwell-48.png",
                               foreign);
    const Bytes foreignBytes = ReadFile(foreign);

    lw::InstallShellEntries(kProgram);
    EXPECT_TRUE(Contains(ReadText(hicolor + "/icon-theme.cache"), "other-app"));
    EXPECT_TRUE(Contains(ReadText(hicolor + "/icon-theme.cache"), "lockwell"));
    lw::RemoveShellEntries();

    EXPECT_EQ(ReadFile(foreign), foreignBytes);
    const std::string cache = ReadText(hicolor + "/icon-theme.cache");
    EXPECT_TRUE(Contains(cache, "other-app"));
    EXPECT_FALSE(Contains(cache, "lockwell"));
    std::vector<std::string> left;
    for (const auto& [path, entry] : Snapshot(env.Data()))
        left.push_back(path);
    EXPECT_EQ(left,
              (std::vector<std::string>{"icons", "icons/hicolor", "icons/hicolor/48x48", "icons/hicolor/48x48/apps",
                                        "icons/hicolor/48x48/apps/other-app.png", "icons/hicolor/icon-theme.cache"}));
}

// Folders and files another program keeps beside ours.
void SeedNeighbours(const ShellTestEnv& env)
{
    WriteText(env.Data() + "/icons/hicolor/48x48/apps/other-app.png", "png");
    WriteText(env.Data() + "/kio/servicemenus/other.desktop", "[Desktop Entry]\n");
    WriteText(env.Data() + "/applications/other.desktop", "[Desktop Entry]\n");
    WriteText(env.Config() + "/caja/accels", "; caja\n");
    WriteText(env.Config() + "/mimeapps.list", "[Default Applications]\ntext/plain=gedit.desktop\n");
}

TEST(ShellEntriesIcons, InstallThenRemoveLeavesDataAndConfigAsTheyWere)
{
    for (bool neighbours : {false, true}) {
        ShellTestEnv env;
        env.HideTools();
        if (neighbours)
            SeedNeighbours(env);
        const auto before = Shape(env.Root());
        const std::string apps = env.Data() + "/icons/hicolor/48x48/apps";
        const Tree foreignIcon = neighbours ? Snapshot(apps) : Tree{};
        lw::InstallShellEntries(env.Root() + "/odd path/lockwell"); // with the launcher link
        lw::RemoveShellEntries();
        EXPECT_EQ(Shape(env.Root()), before) << "neighbours " << neighbours;
        if (neighbours) { // not even rewritten
            EXPECT_EQ(Snapshot(apps), foreignIcon);
        }
    }
}

TEST(ShellEntriesIcons, RemoveFromACleanStateKeepsEmptyForeignFolders)
{
    ShellTestEnv env;
    env.HideTools();
    for (const char* dir :
         {"/nautilus/scripts", "/icons/hicolor/48x48/apps", "/kservices5/ServiceMenus", "/applications"})
        std::filesystem::create_directories(env.Data() + dir);
    const Tree before = Snapshot(env.Root());
    lw::RemoveShellEntries();
    EXPECT_EQ(Snapshot(env.Root()), before);
}

} // namespace
