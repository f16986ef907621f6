#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "ShellTestEnv.h"
#include "desktop/ShellEntries.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

using namespace lwtest;

namespace {

const std::string kProgram = "/opt/lockwell/bin/lockwell";

std::string Golden(const std::string& name)
{
    return ReadText(std::string(LOCKWELL_TEST_DATA_DIR) + "/shell/" + name);
}

// The two scripts differ only in the variable that holds the selected paths.
std::string GoldenScript(const std::string& pathsVariable)
{
    std::string text = Golden("run-lockwell.sh");
    const std::string placeholder = "@PATHS_VARIABLE@";
    text.replace(text.find(placeholder), placeholder.size(), pathsVariable);
    return text;
}

std::string IconSource(const std::string& name)
{
    return ReadText(std::string(LOCKWELL_TEST_DATA_DIR) + "/../../desktop/resources/icons/" + name);
}

struct TExpected {
    const char* path;
    unsigned mode;
    std::string content;
};

// Everything an install into an empty home writes, for the program at kProgram.
std::vector<TExpected> ExpectedFiles()
{
    return {
        {"config/Thunar/uca.xml", 0644, Golden("uca.xml")},
        {"config/caja/scripts/Run Lockwell", 0755, GoldenScript("CAJA_SCRIPT_SELECTED_FILE_PATHS")},
        {"config/mimeapps.list", 0644, Golden("mimeapps.list")},
        {"data/applications/lockwell.desktop", 0644, Golden("lockwell.desktop")},
        {"data/file-manager/actions/lockwell.desktop", 0644, Golden("file-manager-action.desktop")},
        {"data/icons/hicolor/256x256/apps/lockwell.png", 0644, IconSource("lockwell-256.png")},
        {"data/icons/hicolor/256x256/mimetypes/application-x-lockwell-encrypted.png", 0644,
         IconSource("lockwell-256.png")},
        {"data/icons/hicolor/32x32/apps/lockwell.png", 0644, IconSource("lockwell-32.png")},
        {"data/icons/hicolor/32x32/mimetypes/application-x-lockwell-encrypted.png", 0644,
         IconSource("lockwell-32.png")},
        {"data/icons/hicolor/48x48/apps/lockwell.png", 0644, IconSource("lockwell-48.png")},
        {"data/icons/hicolor/48x48/mimetypes/application-x-lockwell-encrypted.png", 0644,
         IconSource("lockwell-48.png")},
        {"data/icons/hicolor/scalable/apps/lockwell.svg", 0644, IconSource("lockwell.svg")},
        {"data/icons/hicolor/scalable/mimetypes/application-x-lockwell-encrypted.svg", 0644,
         IconSource("lockwell.svg")},
        {"data/kio/servicemenus/lockwell.desktop", 0755, Golden("kio-servicemenu.desktop")},
        {"data/kservices5/ServiceMenus/lockwell.desktop", 0755, Golden("kservices5-servicemenu.desktop")},
        {"data/mime/packages/lockwell-encrypted.xml", 0644, Golden("lockwell-encrypted.xml")},
        {"data/nautilus/scripts/Run Lockwell", 0755, GoldenScript("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS")},
        {"data/nemo/actions/lockwell.nemo_action", 0644, Golden("lockwell.nemo_action")},
    };
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Compares the whole tree with ExpectedFiles, the program path replaced by `command`.
void ExpectInstalledTree(const ShellTestEnv& env, const std::string& command = kProgram)
{
    const Tree tree = Snapshot(env.Root());
    std::vector<std::string> expectedPaths;
    for (const auto& file : ExpectedFiles()) {
        expectedPaths.push_back(file.path);
        const auto it = tree.find(file.path);
        ASSERT_NE(it, tree.end()) << file.path;
        EXPECT_EQ(it->second.kind, 'f') << file.path;
        EXPECT_EQ(it->second.mode, file.mode) << file.path;
        EXPECT_EQ(it->second.content, Replace(file.content, kProgram, command)) << file.path;
    }
    std::vector<std::string> files = FilesIn(tree);
    std::erase(files, "data/lockwell/bin/lockwell");
    std::sort(expectedPaths.begin(), expectedPaths.end());
    EXPECT_EQ(files, expectedPaths);
}

// Fails the n-th write of a file's contents with EIO.
struct TWriteFault {
    int countdown;
    static int Hook(lw::fs::TFileOp op, void* context)
    {
        auto* self = static_cast<TWriteFault*>(context);
        return op == lw::fs::TFileOp::Write && --self->countdown == 0 ? EIO : 0;
    }
};

struct TFaultGuard {
    explicit TFaultGuard(TWriteFault& fault) { lw::fs::SetFaultHook(&TWriteFault::Hook, &fault); }
    ~TFaultGuard() { lw::fs::SetFaultHook(nullptr, nullptr); }
};

bool HasTemporaryFiles(const Tree& tree)
{
    for (const auto& [path, entry] : tree)
        if (path.find("/.lockwell-") != std::string::npos)
            return true;
    return false;
}

TEST(ShellEntriesInstall, WritesExactlyTheExpectedFiles)
{
    ShellTestEnv env;
    env.HideTools();
    ASSERT_EQ(lw::xdg::DataHome(), env.Data());
    lw::InstallShellEntries(kProgram);
    ExpectInstalledTree(env);
}

TEST(ShellEntriesInstall, SecondInstallChangesNothing)
{
    ShellTestEnv env;
    env.HideTools();
    lw::InstallShellEntries(kProgram);
    const Tree before = Snapshot(env.Root());
    // Even a moved program keeps the old command lines until removed and installed again.
    lw::InstallShellEntries("/elsewhere/lockwell");
    lw::InstallShellEntries("/a path with blanks/lockwell");
    EXPECT_EQ(Snapshot(env.Root()), before);
}

TEST(ShellEntriesInstall, MarkerAloneCountsAsInstalled)
{
    ShellTestEnv env;
    env.HideTools();
    WriteText(env.Data() + "/applications/lockwell.desktop", "");
    lw::InstallShellEntries(kProgram);
    EXPECT_EQ(FilesIn(Snapshot(env.Root())), std::vector<std::string>{"data/applications/lockwell.desktop"});
}

TEST(ShellEntriesInstall, MarkerRemovedByHandRewritesEverything)
{
    ShellTestEnv env;
    env.HideTools();
    lw::InstallShellEntries("/old/place/lockwell");
    std::filesystem::remove(env.Data() + "/applications/lockwell.desktop");
    std::filesystem::remove(env.Data() + "/kio/servicemenus/lockwell.desktop");
    WriteText(env.Data() + "/nemo/actions/lockwell.nemo_action", "changed by hand");
    std::filesystem::permissions(env.Data() + "/nautilus/scripts/Run Lockwell", std::filesystem::perms::owner_read);
    lw::InstallShellEntries(kProgram);
    ExpectInstalledTree(env);
}

TEST(ShellEntriesInstall, UnusualProgramPathGoesThroughALink)
{
    ShellTestEnv env;
    env.HideTools();
    const std::string program = env.Root() + "/My Apps/we$ird \"q\" 'x' 50%/lockwell";
    lw::InstallShellEntries(program);
    const std::string link = env.Data() + "/lockwell/bin/lockwell";
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), program);
    ExpectInstalledTree(env, link);

    lw::RemoveShellEntries();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(env.Data() + "/lockwell"));
}

TEST(ShellEntriesInstall, WithoutTheLinkFolderThePathIsQuoted)
{
    ShellTestEnv env;
    env.HideTools();
    WriteText(env.Data() + "/lockwell", "a file where the link folder would go");
    const std::string program = env.Root() + "/My Apps/lockwell";
    lw::InstallShellEntries(program);
    const std::string entry = ReadText(env.Data() + "/applications/lockwell.desktop");
    EXPECT_NE(entry.find("\nExec=\"" + program + "\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(ReadText(env.Data() + "/nautilus/scripts/Run Lockwell").find("\nLOCKWELL='" + program + "'\n"),
              std::string::npos);
}

TEST(ShellEntriesInstall, RowWhoseFolderCannotBeMadeIsSkipped)
{
    ShellTestEnv env;
    env.HideTools();
    WriteText(env.Data() + "/nemo", "not a folder");
    WriteText(env.Data() + "/icons/hicolor/48x48", "not a folder");
    lw::InstallShellEntries(kProgram);
    const Tree tree = Snapshot(env.Root());
    EXPECT_EQ(tree.count("data/nemo/actions/lockwell.nemo_action"), 0u);
    EXPECT_EQ(tree.count("data/icons/hicolor/48x48/apps/lockwell.png"), 0u);
    // The rows after them are written all the same.
    EXPECT_EQ(tree.at("data/file-manager/actions/lockwell.desktop").content, Golden("file-manager-action.desktop"));
    EXPECT_EQ(tree.at("data/icons/hicolor/256x256/apps/lockwell.png").content, IconSource("lockwell-256.png"));
    EXPECT_EQ(tree.at("data/applications/lockwell.desktop").content, Golden("lockwell.desktop"));
}

TEST(ShellEntriesInstall, WriteFailureEndsTheRunWithTheFixedMessage)
{
    // 1st write: the first menu file; 8th: the file type; 18th: the marker, written last.
    for (int failing : {1, 8, 18}) {
        ShellTestEnv env;
        env.HideTools();
        TWriteFault fault{failing};
        {
            TFaultGuard guard(fault);
            try {
                lw::InstallShellEntries(kProgram);
                ADD_FAILURE() << "no failure at write " << failing;
            } catch (const lw::Exception& e) {
                EXPECT_STREQ(e.what(), "Failed to set data for ''");
            }
        }
        const Tree tree = Snapshot(env.Root());
        EXPECT_EQ(tree.count("data/applications/lockwell.desktop"), 0u) << failing;
        EXPECT_EQ(FilesIn(tree).size(), static_cast<size_t>(failing - 1)) << failing;
        EXPECT_FALSE(HasTemporaryFiles(tree));
        // Not marked installed, so the next run writes everything.
        lw::InstallShellEntries(kProgram);
        ExpectInstalledTree(env);
    }
}

TEST(ShellEntriesInstall, LinkFailureEndsTheRunBeforeAnyRow)
{
    ShellTestEnv env;
    env.HideTools();
    std::filesystem::create_directories(env.Data() + "/lockwell/bin/lockwell/occupied");
    EXPECT_THROW(lw::InstallShellEntries(env.Root() + "/odd path/lockwell"), lw::Exception);
    EXPECT_EQ(FilesIn(Snapshot(env.Root())), std::vector<std::string>{});
}

// Foreign content a user may already have; install and remove must keep it.
void SeedForeignContent(const ShellTestEnv& env)
{
    WriteText(env.Config() + "/mimeapps.list",
              "# my associations\r\n[Added Associations]\r\ntext/plain=gedit.desktop;\r\n\r\n"
              "[Default Applications]\r\ntext/plain=gedit.desktop\r\nimage/png = eog.desktop\r\n");
    WriteText(env.Config() + "/kde-mimeapps.list", "[Default Applications]\nvideo/mp4=vlc.desktop\n");
    WriteText(env.Config() + "/Thunar/uca.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<!-- mine -->\n<action>\n"
              "\t<icon>utilities-terminal</icon>\n\t<name>Open Terminal Here</name>\n"
              "\t<name xml:lang=\"de\">Terminal hier \xc3\xb6"
              "ffnen</name>\n"
              "\t<unique-id>1-1</unique-id>\n\t<command>exo-open --working-directory %f &amp;</command>\n"
              "\t<description></description>\n\t<patterns>*</patterns>\n\t<directories/>\n</action>\n</actions>\n");
    WriteText(env.Data() + "/applications/other.desktop",
              "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
    WriteText(env.Data() + "/nautilus/scripts/My Script", "#!/bin/sh\n");
    WriteText(env.Data() + "/mime/packages/other.xml", "<mime-info/>\n");
}

TEST(ShellEntriesRemove, InstallThenRemoveRestoresForeignContentByteForByte)
{
    ShellTestEnv env;
    env.HideTools();
    SeedForeignContent(env);
    const Tree before = Snapshot(env.Root());
    lw::InstallShellEntries(kProgram);
    // Merged, not replaced: foreign lines and actions are still there.
    EXPECT_NE(ReadText(env.Config() + "/Thunar/uca.xml").find("Open Terminal Here"), std::string::npos);
    EXPECT_NE(ReadText(env.Config() + "/mimeapps.list").find("image/png = eog.desktop"), std::string::npos);
    lw::RemoveShellEntries();
    const Tree after = Snapshot(env.Root());
    EXPECT_EQ(FilesIn(after), FilesIn(before));
    for (const auto& path : FilesIn(before))
        EXPECT_EQ(after.at(path).content, before.at(path).content) << path;
}

TEST(ShellEntriesRemove, FromEmptyStateChangesNothing)
{
    ShellTestEnv env;
    env.HideTools();
    SeedForeignContent(env);
    const Tree before = Snapshot(env.Root());
    lw::RemoveShellEntries();
    EXPECT_EQ(Snapshot(env.Root()), before);
}

TEST(ShellEntriesRemove, FromPartlyInstalledLeavesNoneOfOurs)
{
    ShellTestEnv env;
    env.HideTools();
    SeedForeignContent(env);
    const Tree before = Snapshot(env.Root());
    lw::InstallShellEntries(env.Root() + "/odd path/lockwell");
    std::filesystem::remove(env.Data() + "/applications/lockwell.desktop");
    std::filesystem::remove(env.Data() + "/icons/hicolor/48x48/apps/lockwell.png");
    std::filesystem::remove(env.Data() + "/kio/servicemenus/lockwell.desktop");
    lw::RemoveShellEntries();
    EXPECT_EQ(FilesIn(Snapshot(env.Root())), FilesIn(before));
    lw::RemoveShellEntries();
    EXPECT_EQ(FilesIn(Snapshot(env.Root())), FilesIn(before));
}

// Without the desktop's tools and with them (their databases and caches, and the copy of
// the system's Thunar actions, were made for us alone): the home is as it was.
TEST(ShellEntriesRemove, FilesCreatedForUsAloneGoAway)
{
    for (const bool tools : {false, true}) {
        SCOPED_TRACE(tools ? "with the desktop's tools" : "without them");
        ShellTestEnv env;
        if (!tools)
            env.HideTools();
        WriteText(env.SystemConfig() + "/Thunar/uca.xml", "<?xml version=\"1.0\"?>\n<actions>\n</actions>\n");
        const Tree before = Snapshot(env.Root());
        lw::InstallShellEntries(kProgram);
        // scripts/deps.sh installs the tools (shared-mime-info, desktop-file-utils).
        EXPECT_TRUE(!tools || std::filesystem::exists(env.Data() + "/mime/mime.cache")) << "the tools ran";
        lw::RemoveShellEntries();
        EXPECT_EQ(Snapshot(env.Root()), before);
    }
}

TEST(ShellEntriesRemove, OurEntriesLeaveEveryMimeAppsList)
{
    ShellTestEnv env;
    env.HideTools();
    lw::InstallShellEntries(kProgram);
    // Another tool, or the user, named us elsewhere too.
    WriteText(env.Config() + "/kde-mimeapps.list",
              "[Added Associations]\napplication/x-lockwell-encrypted=other.desktop;lockwell.desktop;\n"
              "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\nvideo/mp4=vlc.desktop\n");
    WriteText(env.Config() + "/xfce-mimeapps.list",
              "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n");
    WriteText(env.Config() + "/notmimeapps.list.bak",
              "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n");
    lw::RemoveShellEntries();
    EXPECT_EQ(ReadText(env.Config() + "/kde-mimeapps.list"),
              "[Added Associations]\napplication/x-lockwell-encrypted=other.desktop;\n"
              "[Default Applications]\nvideo/mp4=vlc.desktop\n");
    EXPECT_FALSE(std::filesystem::exists(env.Config() + "/xfce-mimeapps.list"));
    EXPECT_FALSE(std::filesystem::exists(env.Config() + "/mimeapps.list"));
    EXPECT_EQ(ReadText(env.Config() + "/notmimeapps.list.bak"),
              "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n");
}

TEST(ShellEntriesThunar, NewUserFileStartsFromTheSystemActions)
{
    ShellTestEnv env;
    env.HideTools();
    const std::string system =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
        "\t<name>Open Terminal Here</name>\n\t<unique-id>1-1</unique-id>\n"
        "\t<command>exo-open --launch TerminalEmulator</command>\n</action>\n</actions>\n";
    WriteText(env.SystemConfig() + "/Thunar/uca.xml", system);
    lw::InstallShellEntries(kProgram);
    const std::string user = ReadText(env.Config() + "/Thunar/uca.xml");
    const std::string ours = Golden("uca.xml");
    const std::string action = ours.substr(ours.find("<action>"), ours.find("</actions>") - ours.find("<action>"));
    EXPECT_EQ(user, Replace(system, "</actions>\n", action + "</actions>\n"));
    lw::RemoveShellEntries();
    // Without our action the copy is the system file again, and would hide its later changes.
    EXPECT_FALSE(std::filesystem::exists(env.Config() + "/Thunar/uca.xml"));
    EXPECT_EQ(ReadText(env.SystemConfig() + "/Thunar/uca.xml"), system);
}

TEST(ShellEntriesThunar, MalformedUserFileIsLeftAlone)
{
    ShellTestEnv env;
    env.HideTools();
    const std::string broken = "<?xml version=\"1.0\"?>\n<actions>\n<action><name>half</name>\n</actions>\n";
    WriteText(env.Config() + "/Thunar/uca.xml", broken);
    const Tree before = Snapshot(env.Config() + "/Thunar");
    lw::InstallShellEntries(kProgram);
    EXPECT_EQ(Snapshot(env.Config() + "/Thunar"), before);
    EXPECT_EQ(ReadText(env.Data() + "/applications/lockwell.desktop"), Golden("lockwell.desktop"));
    lw::RemoveShellEntries();
    EXPECT_EQ(Snapshot(env.Config() + "/Thunar"), before);
}

TEST(ShellEntriesThunar, SymlinkedUserFileStaysALink)
{
    ShellTestEnv env;
    env.HideTools();
    const std::string real = env.Root() + "/home/dotfiles/uca.xml";
    WriteText(real, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n");
    std::filesystem::create_directories(env.Config() + "/Thunar");
    std::filesystem::create_symlink(real, env.Config() + "/Thunar/uca.xml");
    lw::InstallShellEntries(kProgram);
    EXPECT_TRUE(std::filesystem::is_symlink(env.Config() + "/Thunar/uca.xml"));
    EXPECT_EQ(ReadText(real), Golden("uca.xml"));
    lw::RemoveShellEntries();
    EXPECT_TRUE(std::filesystem::is_symlink(env.Config() + "/Thunar/uca.xml"));
    EXPECT_EQ(ReadText(real), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n");
}

} // namespace
