// The GNOME Files and Caja scripts run for real by /bin/sh, the way the file managers
// start them: in the shown folder, with names that lost their "%" as arguments and the
// exact paths in the manager's own variable.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ShellTestEnv.h"
#include "StubProgram.h"
#include "desktop/ShellEntries.h"
#include "platform/Exception.h"

using namespace lwtest;

namespace {

struct TScriptRow {
    const char* what;
    std::vector<std::string> args;
    // Variable name -> value; each script reads only its own manager's variable.
    std::vector<std::pair<std::string, std::string>> vars;
    bool withNotify;
    std::vector<StubProgram::Call> program; // runs of the program
    std::vector<StubProgram::Call> notify;  // runs of notify-send
    int status;
};

class ShellEntriesScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_env.Root() + "/bin");
        m_program = std::make_unique<StubProgram>(m_env.Root() + "/bin/lockwell");
        lw::InstallShellEntries(m_program->Path());
        // The stubs need mktemp and mv; nothing else may be on PATH, so a real
        // notify-send can never answer.
        for (const char* dir : {"/tools", "/notify"})
            std::filesystem::create_directories(m_env.Root() + dir);
        for (const char* tool : {"mktemp", "mv"})
            std::filesystem::create_symlink(FindTool(tool), m_env.Root() + "/tools/" + tool);
        for (const auto& name :
             {"pct 50%.txt", "pct 50txt", "it's \"q\" $x.fe2", "na\xc3\xafve \xe2\x9c\x93.fez", "new\nline"})
            WriteText(View() + "/" + name, "data");
        WriteText(m_env.Root() + "/else where/-x 100%", "data");
        std::filesystem::create_directories(View() + "/sub 5%");
    }

    static std::string FindTool(const char* tool)
    {
        for (const char* dir : {"/usr/bin/", "/bin/"})
            if (std::filesystem::exists(std::string(dir) + tool))
                return std::string(dir) + tool;
        throw std::runtime_error(std::string("no ") + tool);
    }

    std::string View() const { return m_env.Root() + "/view"; }

    // Runs one script in the view folder with a clean environment; returns its status.
    int RunScript(const std::string& script, const TScriptRow& row)
    {
        std::string path = m_env.Root() + "/tools";
        if (row.withNotify)
            path += ":" + m_env.Root() + "/notify";
        std::vector<std::string> argv = {"/usr/bin/env", "-i", "PATH=" + path, "HOME=" + m_env.Root() + "/home"};
        for (const auto& [name, value] : row.vars)
            argv.push_back(name + "=" + value);
        argv.insert(argv.end(),
                    {"/bin/sh", "-c", "cd \"$1\" || exit 9; shift; exec /bin/sh \"$@\"", "sh", View(), script});
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        int status = -1;
        RunProgram(argv, {}, &status);
        return status;
    }

    ShellTestEnv m_env;
    std::unique_ptr<StubProgram> m_program;
};

TEST_F(ShellEntriesScript, TheProgramGetsTheExactPathOfEachSelectedFile)
{
    const std::string v = View() + "/";
    const std::string pct = v + "pct 50%.txt";
    const std::string quotes = v + "it's \"q\" $x.fe2";
    const std::string unicode = v + "na\xc3\xafve \xe2\x9c\x93.fez";
    const std::string abs = m_env.Root() + "/else where/-x 100%";
    const std::string gone = v + "gone 5%.txt";
    const std::string self = "SELF"; // stands for the script's own variable

    const std::vector<TScriptRow> rows = {
        {"mangled argument, exact variable", {"pct 50txt"}, {{self, pct + "\n"}}, true, {{pct}}, {}, 0},
        {"no variable: the argument", {"pct 50txt"}, {}, true, {{v + "pct 50txt"}}, {}, 0},
        {"empty variable: the argument", {"pct 50txt"}, {{self, ""}}, true, {{v + "pct 50txt"}}, {}, 0},
        {"the other manager's variable is ignored",
         {"pct 50txt"},
         {{"OTHER", pct + "\n"}},
         true,
         {{v + "pct 50txt"}},
         {},
         0},
        {"two paths: one window each",
         {"pct 50txt", "x"},
         {{self, pct + "\n" + quotes + "\n"}},
         true,
         {{pct}, {quotes}},
         {},
         0},
        {"no variable, two arguments", {"pct 50txt", abs}, {}, true, {{abs}, {v + "pct 50txt"}}, {}, 0},
        {"one of two missing",
         {"a", "b"},
         {{self, gone + "\n" + pct + "\n"}},
         true,
         {{pct}},
         {{"Lockwell", "Cannot find " + gone}},
         1},
        {"quotes and dollar", {quotes}, {{self, quotes + "\n"}}, true, {{quotes}}, {}, 0},
        {"unicode, no final line break", {"naive.fez"}, {{self, unicode}}, true, {{unicode}}, {}, 0},
        {"absolute, leading dash", {abs}, {{self, abs + "\n"}}, true, {{abs}}, {}, 0},
        {"line break in the name: the argument",
         {"new\nline"},
         {{self, v + "new\nline\n"}},
         true,
         {{v + "new\nline"}},
         {},
         0},
        {"folder: nothing", {"sub 5"}, {{self, v + "sub 5%\n"}}, true, {}, {}, 0},
        {"missing file: a notice",
         {"gone 5.txt"},
         {{self, gone + "\n"}},
         true,
         {},
         {{"Lockwell", "Cannot find " + gone}},
         1},
        {"missing, no notice tool: the program says it", {"gone 5.txt"}, {{self, gone + "\n"}}, false, {{gone}}, {}, 0},
        {"nothing selected, no notice tool: not started", {}, {}, false, {}, {}, 1},
    };
    const std::pair<std::string, std::string> scripts[] = {
        {m_env.Data() + "/nautilus/scripts/Run Lockwell", "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"},
        {m_env.Config() + "/caja/scripts/Run Lockwell", "CAJA_SCRIPT_SELECTED_FILE_PATHS"},
    };
    for (const auto& [script, variable] : scripts) {
        const std::string other =
            variable[0] == 'N' ? "CAJA_SCRIPT_SELECTED_FILE_PATHS" : "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS";
        for (TScriptRow row : rows) {
            for (auto& [name, value] : row.vars)
                name = name == self ? variable : name == "OTHER" ? other : name;
            StubProgram program(m_program->Path());
            StubProgram notify(m_env.Root() + "/notify/notify-send");
            const int status = RunScript(script, row);
            EXPECT_EQ(status, row.status) << variable << ": " << row.what;
            auto expected = row.program;
            std::sort(expected.begin(), expected.end());
            // Started in the background, one run a file.
            const auto calls = expected.empty() ? program.Calls() : program.WaitForCalls(expected.size());
            EXPECT_EQ(calls, expected) << variable << ": " << row.what;
            EXPECT_EQ(notify.Calls(), row.notify) << variable << ": " << row.what;
        }
    }
}

} // namespace

// A home whose path holds a blank reaches the program through the link, quoted; one whose
// path holds "%" is refused before anything is written, saying why.
TEST(ShellEntriesPaths, HomeWithABlankOrAPercent)
{
    for (const std::string home : {"my home", "50% home"}) {
        SCOPED_TRACE(home);
        ShellTestEnv env;
        env.HideTools();
        const std::string data = env.Root() + "/" + home + "/data";
        env.Set("XDG_DATA_HOME", data);
        const std::string program = data + "/apps/lockwell";
        if (home.find('%') == std::string::npos) {
            lw::InstallShellEntries(program);
            const std::string entry = ReadText(data + "/applications/lockwell.desktop");
            EXPECT_NE(entry.find("\nExec=\"" + data + "/lockwell/bin/lockwell\" %f\n"), std::string::npos) << entry;
            continue;
        }
        const Tree before = Snapshot(env.Root());
        try {
            lw::InstallShellEntries(program);
            ADD_FAILURE() << "installed";
        } catch (const lw::Exception& e) {
            EXPECT_EQ(std::string(e.what()),
                      "The file managers' entries cannot be written: the path of the home "
                      "folder (" +
                          data +
                          ") holds \"%\", which some launchers take for a "
                          "code of their own");
        }
        EXPECT_EQ(Snapshot(env.Root()), before);
    }
}
