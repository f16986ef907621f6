// The installed entries as the desktop's own tools see them. Needs the Debian packages
// shared-mime-info, desktop-file-utils, xdg-utils, libfile-mimeinfo-perl and
// libglib2.0-bin.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <filesystem>

#include "ShellTestEnv.h"
#include "StubProgram.h"
#include "desktop/ShellEntries.h"

using namespace lwtest;

namespace {

void RequireTools()
{
    const char* tools[][2] = {
        {"desktop-file-validate", "desktop-file-utils"}, {"update-desktop-database", "desktop-file-utils"},
        {"update-mime-database", "shared-mime-info"},    {"xdg-mime", "xdg-utils"},
        {"mimetype", "libfile-mimeinfo-perl"},           {"gio", "libglib2.0-bin"}};
    for (const auto& [tool, package] : tools)
        ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " missing: install " << package;
}

// stdout and stderr of a command, and its exit status.
std::string RunTool(const std::vector<std::string>& argv, int* status = nullptr)
{
    std::vector<std::string> all = {"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh"};
    all.insert(all.end(), argv.begin(), argv.end());
    int rc = 0;
    const Bytes out = RunProgram(all, {}, &rc);
    if (status)
        *status = rc;
    return std::string(out.begin(), out.end());
}

std::string SingleQuoted(const std::string& word)
{
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TEST(ShellEntriesDesktop, ValidatorAcceptsTheDesktopEntry)
{
    RequireTools();
    for (const char* program : {"/usr/bin/lockwell", "/odd dir/we$ird \"q\" 50%/lockwell"}) {
        ShellTestEnv env;
        lw::InstallShellEntries(program);
        int status = -1;
        const std::string out =
            RunTool({"desktop-file-validate", env.Data() + "/applications/lockwell.desktop"}, &status);
        EXPECT_EQ(status, 0) << program << ": " << out;
        EXPECT_EQ(out, "") << program;
    }
    // Quoted in place when the link folder cannot be made.
    ShellTestEnv env;
    WriteText(env.Data() + "/lockwell", "");
    lw::InstallShellEntries("/odd dir/we$ird \"q\" `x` \\ 50%/lockwell");
    int status = -1;
    const std::string out = RunTool({"desktop-file-validate", env.Data() + "/applications/lockwell.desktop"}, &status);
    EXPECT_EQ(status, 0) << out;
}

TEST(ShellEntriesDesktop, FileTypeAndDefaultOpenerAsToolsSeeThem)
{
    RequireTools();
    ShellTestEnv env;
    // GIO ignores an entry whose TryExec program does not exist.
    std::filesystem::create_directories(env.Root() + "/bin");
    StubProgram stub(env.Root() + "/bin/lockwell");
    lw::InstallShellEntries(stub.Path());
    EXPECT_TRUE(std::filesystem::exists(env.Data() + "/mime/mime.cache"));
    EXPECT_NE(ReadText(env.Data() + "/applications/mimeinfo.cache")
                  .find("application/x-lockwell-encrypted=lockwell.desktop;"),
              std::string::npos);

    for (const char* name : {"x.FEZ", "a.fe2", "b.fez"})
        WriteText(env.Root() + "/" + name, "\x8f\x01 ciphertext");
    for (const char* desktop : {"", "GNOME"}) {
        // Without a desktop xdg-mime asks File::MimeInfo; under GNOME it asks GIO.
        if (*desktop)
            env.Set("XDG_CURRENT_DESKTOP", desktop);
        else
            env.Unset("XDG_CURRENT_DESKTOP");
        for (const char* name : {"x.FEZ", "a.fe2", "b.fez"})
            EXPECT_EQ(RunTool({"xdg-mime", "query", "filetype", env.Root() + "/" + name}),
                      "application/x-lockwell-encrypted\n")
                << name << " on desktop '" << desktop << "'";
    }
    // The first line names the default application, whatever the language.
    const std::string handlers = RunTool({"gio", "mime", "application/x-lockwell-encrypted"});
    const std::string defaultLine = handlers.substr(0, handlers.find('\n'));
    EXPECT_TRUE(defaultLine.ends_with(": lockwell.desktop")) << handlers;

    lw::RemoveShellEntries();
    EXPECT_NE(RunTool({"xdg-mime", "query", "filetype", env.Root() + "/x.FEZ"}), "application/x-lockwell-encrypted\n");
    EXPECT_EQ(RunTool({"gio", "mime", "application/x-lockwell-encrypted"}).find("lockwell.desktop"), std::string::npos);
}

TEST(ShellEntriesDesktop, OpeningAnEncryptedFileStartsTheProgramWithItsPath)
{
    RequireTools();
    ShellTestEnv env;
    std::filesystem::create_directories(env.Root() + "/My Apps/we$ird \"q\" 50%");
    StubProgram stub(env.Root() + "/My Apps/we$ird \"q\" 50%/lockwell");
    lw::InstallShellEntries(stub.Path());

    const std::string docs = env.Root() + "/my docs";
    const std::vector<std::string> files = {docs + "/my file 'q' \"d\" $x 100%.fe2", docs + "/REPORT.FEZ"};
    for (const auto& file : files) {
        WriteText(file, "\x8f\x01 ciphertext");
        RunTool({"gio", "open", file});
    }
    const auto calls = stub.WaitForCalls(files.size());
    EXPECT_EQ(calls, (std::vector<StubProgram::Call>{{files[1]}, {files[0]}}));
}

TEST(ShellEntriesDesktop, ScriptsPassTheSelectedFileAsOneAbsolutePath)
{
    ShellTestEnv env;
    std::filesystem::create_directories(env.Root() + "/bin");
    StubProgram stub(env.Root() + "/bin/lockwell");
    lw::InstallShellEntries(stub.Path());

    const std::string view = env.Root() + "/view";
    const std::vector<std::string> names = {"a b.txt", "-rf", "x$y.fe2", "q'uote\"", "new\nline", "*"};
    for (const auto& name : names)
        WriteText(view + "/" + name, "data");
    std::filesystem::create_directories(view + "/sub");
    const std::string elsewhere = env.Root() + "/other place/abs file";
    WriteText(elsewhere, "data");

    // Each row: the arguments a file manager passes, and the runs they must cause, one a file.
    std::vector<std::pair<std::vector<std::string>, std::vector<StubProgram::Call>>> rows;
    for (const auto& name : names)
        rows.push_back({{name}, {{view + "/" + name}}});
    rows.push_back({{elsewhere}, {{elsewhere}}});
    rows.push_back({{"sub"}, {}});
    rows.push_back({{names[0], names[1], "sub"}, {{view + "/" + names[1]}, {view + "/" + names[0]}}});

    for (const std::string& script :
         {env.Data() + "/nautilus/scripts/Run Lockwell", env.Config() + "/caja/scripts/Run Lockwell"}) {
        for (const auto& [args, expected] : rows) {
            StubProgram fresh(stub.Path());
            // The file manager runs the script in the shown folder with names relative to it;
            // a PWD inherited from elsewhere must not mislead it.
            std::vector<std::string> argv = {"/bin/sh", "-c",
                                             "cd \"$1\" || exit 1; shift; PWD=/stale exec \"$0\" \"$@\"", script, view};
            argv.insert(argv.end(), args.begin(), args.end());
            RunProgram(argv);
            auto sorted = expected;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(expected.empty() ? fresh.Calls() : fresh.WaitForCalls(expected.size()), sorted)
                << script << " " << args[0];
        }
    }
}

TEST(ShellEntriesDesktop, ThunarCommandStartsTheProgramWithThePath)
{
    ShellTestEnv env;
    std::filesystem::create_directories(env.Root() + "/odd $dir");
    StubProgram stub(env.Root() + "/odd $dir/lockwell");
    lw::InstallShellEntries(stub.Path());

    const std::string uca = ReadText(env.Config() + "/Thunar/uca.xml");
    const size_t start = uca.find("<command>") + 9;
    std::string command = uca.substr(start, uca.find("</command>") - start);
    for (const auto& [entity, text] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (size_t at = command.find(entity); at != std::string::npos; at = command.find(entity))
            command.replace(at, std::string(entity).size(), text);
    // Thunar puts the shell-quoted path in place of %f and runs the line with sh -c.
    const std::string file = env.Root() + "/it's a \"file\" $HOME.txt";
    WriteText(file, "data");
    const size_t f = command.find("%f");
    ASSERT_NE(f, std::string::npos) << command;
    command.replace(f, 2, SingleQuoted(file));
    RunProgram({"/bin/sh", "-c", command});
    EXPECT_EQ(stub.WaitForCalls(1), std::vector<StubProgram::Call>{{file}});
}

} // namespace
