#include "app/qt/StartUp.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "jobs/JobDoubles.h"

namespace {

TEST(StartUp, ModeFollowsTheExtension)
{
    const struct {
        const char* path;
        bool decrypt;
    } cases[] = {
        {"/home/ann/report.FEZ", true},
        {"/tmp/archive.fe2", true},
        {"/tmp/x.fe", true},
        {"/tmp/notes.feather", true},
        {"/tmp/a.Fe2", true},
        {"relative.fez", true},
        {"/tmp/x.f2e", false},
        {"/tmp/readme", false},
        {"/tmp/name.", false},
        {"/tmp/data.fez/file", false},
        {"/tmp/x.txt", false},
        {"/tmp/x.fez.txt", false},
        {"/tmp/.fe", true},
        {"", false},
        {"/tmp/x.ƑE2", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::IsDecryptPath(c.path), c.decrypt) << c.path;
}

TEST(StartUp, RegistrationQuestionMapsTheAnswers)
{
    const struct {
        lw::TMsgDlgBtn answer;
        lw::TRegistrationChoice choice;
    } cases[] = {
        {lw::mbYes, lw::TRegistrationChoice::Install},
        {lw::mbNo, lw::TRegistrationChoice::Remove},
        {lw::mbIgnore, lw::TRegistrationChoice::Nothing},
        {lw::mbCancel, lw::TRegistrationChoice::Nothing}, // the close box
    };
    for (const auto& c : cases) {
        lwtest::ScriptedAsk ask({c.answer});
        EXPECT_EQ(lw::AskRegistration(ask), c.choice);
        ASSERT_EQ(ask.boxes.size(), 1u);
        EXPECT_EQ(ask.boxes[0], (lwtest::Box{lw::TMsgDlgType::mtConfirmation,
                                             "Select Yes to install Lockwell in\r\nthe Context Menu or No to uninstall",
                                             lw::mbYes | lw::mbNo | lw::mbIgnore}));
    }
}

struct WindowRun {
    int status = -1; // -1: ended by a signal
    std::string out;
};

// The window program with no display at all: no X or Wayland server and no Qt platform
// chosen. The alarm bounds a run that would wrongly open a window.
WindowRun RunWindowWithoutDisplay(const std::vector<std::string>& args)
{
    lwtest::TempDir io;
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"})
            ::unsetenv(name);
        ::alarm(30);
        const int out = ::open((io / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(out, 1);
        ::dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>(LOCKWELL_WINDOW)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(LOCKWELL_WINDOW, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const lwtest::Bytes out = lwtest::ReadFile(io / "out");
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end())};
}

} // namespace

TEST(StartUp, OnlyTheFirstArgumentDecides)
{
    using lw::TStartAction;
    const struct {
        std::vector<std::string> args;
        TStartAction action;
    } cases[] = {
        {{}, TStartAction::Registration},
        {{"--help"}, TStartAction::Help},
        {{"--version"}, TStartAction::Version},
        {{"--help", "x.fe2"}, TStartAction::Help},
        {{"x.fe2", "--help"}, TStartAction::Window},
        {{"./--help"}, TStartAction::Window},
        {{"-h"}, TStartAction::Window},
        {{""}, TStartAction::Window},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::StartActionFor(c.args), c.action) << (c.args.empty() ? "(none)" : c.args[0]);
}

// The joining and tidying itself is path::AbsolutePath's, tested with the platform.
TEST(StartUp, WindowFileIsMadeAbsolute)
{
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(lw::WindowFilePath("./--help"), here + "/--help");
    EXPECT_EQ(lw::WindowFilePath("a/../b.fe2"), here + "/a/../b.fe2");
    EXPECT_EQ(lw::WindowFilePath("/x/./y"), "/x/y");
    EXPECT_EQ(lw::WindowFilePath(""), "");
}

TEST(StartUp, HelpAndVersionNeedNoDisplay)
{
    WindowRun r = RunWindowWithoutDisplay({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "lockwell " LOCKWELL_PROJECT_VERSION "\n");
    r = RunWindowWithoutDisplay({"--help", "ignored"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: lockwell [FILE]\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("./--help"), std::string::npos) << r.out;
    // The same surroundings do lack a display: a file for the window cannot start.
    r = RunWindowWithoutDisplay({"./--help"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "");
}
