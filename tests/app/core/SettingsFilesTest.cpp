#include "app/core/SettingsFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/ProgramPath.h"

namespace {

#ifndef _WIN32
TEST(SettingsFiles, LiveBesideAWritableExecutable)
{
    lwtest::TempDir dir;
    const lw::TSettingsFiles files(dir / "lockwell", dir / "config");
    EXPECT_EQ(files.SettingsPath(), dir / "lockwell.ini");
    EXPECT_EQ(files.FolderListPath(), dir / "lockwell.dat");
    EXPECT_FALSE(std::filesystem::exists(dir / "config")) << "no configuration folder needed";

    const lw::TSettingsFiles renamed(dir / "safe.bin", dir / "config");
    EXPECT_EQ(renamed.SettingsPath(), dir / "safe.ini") << "named from the executable, extension replaced";
    EXPECT_EQ(renamed.FolderListPath(), dir / "safe.dat");
}

TEST(SettingsFiles, FallBackToTheConfigurationFolder)
{
    lwtest::TempDir dir;
    // A folder that is not there cannot be written to; as root every existing one can.
    const lw::TSettingsFiles files(dir / "no/such/bin/lockwell", dir / "config");
    EXPECT_EQ(files.SettingsPath(), dir / "config/lockwell/lockwell.ini");
    EXPECT_EQ(files.FolderListPath(), dir / "config/lockwell/lockwell.dat");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "config/lockwell")) << "created for the first write";
}

// An installed program's folder is the package manager's, even for root who could write it.
TEST(SettingsFiles, NeverBesideAnInstalledProgram)
{
    lwtest::TempDir dir;
    for (const char* program : {"/usr/bin/lockwell", "/usr/local/bin/lockwell", "/bin/lockwell"}) {
        const lw::TSettingsFiles files(program, dir / "config");
        EXPECT_EQ(files.SettingsPath(), dir / "config/lockwell/lockwell.ini") << program;
    }
    EXPECT_FALSE(lw::IsSystemProgramFolder("/usrx/bin/"));
    EXPECT_FALSE(lw::IsSystemProgramFolder("/opt/lockwell/"));
}

#else
// A program folder it may not write (C:\\Program Files for a normal user; here one that is
// not there) sends the settings to %APPDATA%\\Lockwell, made for the first write.
TEST(SettingsFiles, GoToTheApplicationDataFolderWhereTheProgramFolderIsNotWritable)
{
    lwtest::TempDir dir;
    const std::string appData = dir.Path() + "\\AppData";
    const lw::TSettingsFiles files(dir.Path() + "\\Program Files\\Lockwell\\lockwell.exe", appData);
    EXPECT_EQ(files.SettingsPath(), appData + "\\Lockwell\\lockwell.ini");
    EXPECT_EQ(files.FolderListPath(), appData + "\\Lockwell\\lockwell.dat");
    EXPECT_TRUE(std::filesystem::is_directory(appData + "\\Lockwell"));
    const lw::TSettingsFiles portable(dir.Path() + "\\lockwell.exe", appData);
    EXPECT_EQ(portable.SettingsPath(), dir.Path() + "\\lockwell.ini");
}
#endif

} // namespace
