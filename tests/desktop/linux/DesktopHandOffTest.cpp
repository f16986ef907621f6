// The desktop hand-off with stand-ins for xdg-email and xdg-open on PATH.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <tuple>

#include "HandOffStubs.h"
#include "TestUtil.h"
#include "desktop/linux/DesktopHandOff.h"

using namespace lw;
using namespace lwtest;

namespace {

class RecordingAsk : public IAskUser {
public:
    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override
    {
        boxes.emplace_back(kind, text, buttons);
        return mbOK;
    }
    TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                 TMsgDlgButtons buttons) override
    {
        details.push_back(detail);
        return AskUser(kind, text, buttons);
    }
    std::vector<std::tuple<TMsgDlgType, std::string, TMsgDlgButtons>> boxes;
    std::vector<std::string> details;
};

const auto kMailFailedBox =
    std::make_tuple(TMsgDlgType::mtError, std::string("Failed to send to EMail client"), TMsgDlgButtons{mbOK});

std::string Cwd()
{
    return std::filesystem::current_path().string();
}

// xdg-email stand-in: logs argv, exits with the code in "rc".
void WriteMailer(const TempDir& bin, const TempDir& log)
{
    WriteScript(bin / "xdg-email", "d='" + log.Path() +
                                       "'\n"
                                       "printf '%s\\0' \"$@\" > \"$d/argv\"\n"
                                       "exit $(/bin/cat \"$d/rc\")\n");
}

} // namespace

TEST(DesktopHandOff, MailResultAndBox)
{
    TempDir bin, log;
    PathOverride path(bin.Path());
    WriteMailer(bin, log);
    RecordingAsk ask;
    TDesktopHandOff handOff(ask);

    WriteFile(log / "rc", {'0'});
    EXPECT_TRUE(handOff.SendFileToMailClient("/tmp/out.fe2"));
    EXPECT_TRUE(ask.boxes.empty());

    WriteFile(log / "rc", {'4'});
    EXPECT_FALSE(handOff.SendFileToMailClient("rel/out.fe2"));
    EXPECT_EQ(SplitNul(ReadText(log / "argv")), (std::vector<std::string>{"--attach", Cwd() + "/rel/out.fe2"}));
    ASSERT_EQ(ask.boxes.size(), 1u);
    EXPECT_EQ(ask.boxes[0], kMailFailedBox);
    EXPECT_EQ(ask.details, std::vector<std::string>{"the mail program did not take the file"}) << "the reason below";
}

TEST(DesktopHandOff, NoMailProgramFailsEverySend)
{
    TempDir bin;
    PathOverride path(bin.Path());
    RecordingAsk ask;
    TDesktopHandOff handOff(ask);
    EXPECT_FALSE(handOff.SendFileToMailClient("/tmp/a.fe2"));
    EXPECT_FALSE(handOff.SendFileToMailClient("/tmp/b.fe2"));
    EXPECT_EQ(ask.boxes, (decltype(ask.boxes){kMailFailedBox, kMailFailedBox}));
}

TEST(DesktopHandOff, MailHandlesPendingEvents)
{
    TempDir bin, log;
    PathOverride path(bin.Path());
    WriteMailer(bin, log);
    WriteFile(log / "rc", {'0'});
    RecordingAsk ask;
    TDesktopHandOff handOff(ask);
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    EXPECT_TRUE(handOff.SendFileToMailClient("/tmp/x.fe2"));
    EXPECT_TRUE(handled);
}

TEST(DesktopHandOff, ProcessPendingEventsRunsUntilNoneIsLeft)
{
    RecordingAsk ask;
    TDesktopHandOff handOff(ask);
    // Each event posts the next; all of them are handled in one call.
    int handled = 0;
    std::function<void()> step = [&] {
        if (++handled < 5)
            QMetaObject::invokeMethod(QCoreApplication::instance(), step, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(QCoreApplication::instance(), step, Qt::QueuedConnection);
    handOff.ProcessPendingEvents();
    EXPECT_EQ(handled, 5);
}

TEST(DesktopHandOff, OpensTheAbsolutePath)
{
    TempDir bin, log;
    PathOverride path(bin.Path());
    WriteScript(bin / "xdg-open", "printf '%s\\0' \"$@\" > '" + (log / "argv.tmp") +
                                      "'\n"
                                      "/bin/mv '" +
                                      (log / "argv.tmp") + "' '" + (log / "argv") + "'\n");
    RecordingAsk ask;
    TDesktopHandOff handOff(ask);
    handOff.OpenWithAssociatedApp("-decrypted.txt");
    ASSERT_TRUE(WaitUntil([&] { return Exists(log / "argv"); }));
    EXPECT_EQ(SplitNul(ReadText(log / "argv")), std::vector<std::string>{Cwd() + "/-decrypted.txt"});

    // Without any opener nothing is shown and nothing is raised.
    std::filesystem::remove(bin / "xdg-open");
    EXPECT_NO_THROW(handOff.OpenWithAssociatedApp("/tmp/x.txt"));
    EXPECT_TRUE(ask.boxes.empty());
}
