// The window during a job that runs beside it: locked controls, the progress bar, Stop,
// the stop question, and the window's state after the job.
#include <QApplication>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "WindowFixture.h"

namespace {

using lw::TMsgDlgType;
using lwtest::Box;
using lwtest::WindowFixture;

constexpr const char* kStopQuestion = "Stop the running job?";

// Boxes through a script, with a hook that runs inside each box as the user would, and a
// check that every box comes up on the GUI thread.
class HookedAsk final : public lw::IAskUser {
public:
    explicit HookedAsk(std::deque<lw::TMsgDlgBtn> answers) : script(std::move(answers)) {}
    lw::TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        EXPECT_EQ(QThread::currentThread(), qApp->thread()) << text;
        if (onBox)
            onBox(text);
        return script.AskUser(kind, text, buttons);
    }
    lw::TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons,
                                      lw::TMsgDlgBtn defaultButton) override
    {
        defaults.push_back(defaultButton);
        return AskUser(kind, text, buttons);
    }
    lwtest::ScriptedAsk script;
    std::function<void(const std::string&)> onBox;
    std::vector<lw::TMsgDlgBtn> defaults;
};

struct Locked {
    bool editEnabled, optionsEnabled, ciphersEnabled, deleteEnabled;
    QString button;
    bool barShown;
};

Locked LookAt(const WindowFixture& window)
{
    return {window.Find<QLineEdit>("Edit1")->isEnabled(),   window.Find<QGroupBox>("GroupBox1")->isEnabled(),
            window.Find<QGroupBox>("ciphers")->isEnabled(), window.Find<QPushButton>("Button2")->isEnabled(),
            window.Find<QPushButton>("Button1")->text(),    window.Find<QProgressBar>("Progress")->isVisible()};
}

// The job is held at the overwrite prompt, where the row's user acts; the prompt is then
// answered "overwrite", so a job not stopped would replace the old output.
TEST(WindowJobThread, StopAndTheStopQuestion)
{
    const struct {
        const char* name;
        const char* act; // "stop button", "escape", "close"
        lw::TMsgDlgBtn stopAnswer;
        bool stopped, closes;
    } rows[] = {
        {"Stop pressed", "stop button", lw::mbCancel, true, false},
        {"Escape, Yes", "escape", lw::mbYes, true, true},
        {"Escape, No", "escape", lw::mbNo, false, true},
        {"close box, Yes", "close", lw::mbYes, true, true},
    };
    for (const auto& row : rows) {
        WindowFixture window;
        const std::string source = window.dir / "plain.txt";
        const lwtest::Bytes data = lwtest::TextBytes(300000, 5);
        lwtest::WriteFile(source, data);
        lwtest::WriteFile(source + ".fe2", {7, 7, 7});
        const bool asks = std::string(row.act) != "stop button";
        std::deque<lw::TMsgDlgBtn> answers;
        if (asks)
            answers.push_back(row.stopAnswer);
        answers.push_back(lw::mbIgnore);
        HookedAsk ask(answers);
        window.form = std::make_unique<lw::TForm1>(
            source, lw::TSettingsFiles(window.dir / "lockwell", window.dir / "config"), ask, window.handOff);
        window.form->SetUpForMode(false);
        Locked during{};
        ask.onBox = [&](const std::string& text) {
            if (text.rfind("This action will result in overwriting", 0) != 0)
                return;
            during = LookAt(window);
            const std::string act = row.act;
            if (act == "stop button")
                QTest::mouseClick(window.Find<QPushButton>("Button1"), Qt::LeftButton);
            else if (act == "escape")
                QTest::keyClick(window.form.get(), Qt::Key_Escape);
            else
                window.form->close();
        };
        window.form->show();
        QTest::keyClicks(window.Find<QLineEdit>("Edit1"), "phrase");
        QTest::keyClick(window.Find<QLineEdit>("Edit1"), Qt::Key_Return);
        window.WaitForJob();

        EXPECT_FALSE(during.editEnabled || during.optionsEnabled || during.ciphersEnabled || during.deleteEnabled)
            << row.name;
        EXPECT_EQ(during.button, "Stop") << row.name;
        EXPECT_TRUE(during.barShown) << row.name;
        // The stop question is recorded first: it is answered inside the overwrite prompt.
        std::vector<Box> boxes;
        if (asks)
            boxes.push_back({TMsgDlgType::mtConfirmation, kStopQuestion, lw::mbYes | lw::mbNo});
        boxes.push_back({TMsgDlgType::mtConfirmation, "", lw::mbYes | lw::mbNo | lw::mbIgnore}); // the overwrite prompt
        if (!row.stopped)
            boxes.push_back({TMsgDlgType::mtInformation, "File encrypted", lw::mbOK});
        ASSERT_EQ(ask.script.boxes.size(), boxes.size()) << row.name;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(ask.script.boxes[i].kind, boxes[i].kind) << row.name << " box " << i;
            if (!boxes[i].text.empty()) {
                EXPECT_EQ(ask.script.boxes[i].text, boxes[i].text) << row.name << " box " << i;
            }
        }
        if (asks) {
            EXPECT_EQ(ask.defaults, std::vector<lw::TMsgDlgBtn>{lw::mbNo}) << row.name << ": No is the default";
        }
        EXPECT_EQ(window.form->isVisible(), !row.closes) << row.name;
        // Stopped: the old output untouched and no working file; the source always kept.
        EXPECT_EQ(lwtest::ReadFile(source), data) << row.name;
        if (row.stopped) {
            EXPECT_EQ(lwtest::ReadFile(source + ".fe2"), (lwtest::Bytes{7, 7, 7})) << row.name;
        } else {
            EXPECT_EQ(lwtest::ReadFile(source + ".fe2").size(), data.size()) << row.name;
        }
        for (const auto& entry : std::filesystem::directory_iterator(window.dir.Path())) {
            const std::string name = entry.path().filename();
            EXPECT_TRUE(name == "plain.txt" || name == "plain.txt.fe2" || name == "lockwell.ini" ||
                        name == "lockwell.dat")
                << row.name << ": " << name;
        }
        if (!row.closes) {
            const Locked after = LookAt(window);
            EXPECT_TRUE(after.editEnabled && after.optionsEnabled && after.ciphersEnabled && after.deleteEnabled)
                << row.name;
            EXPECT_EQ(after.button, "&Encrypt") << row.name;
            EXPECT_FALSE(after.barShown) << row.name;
            EXPECT_EQ(window.Find<QLineEdit>("Edit1")->text(), "phrase") << row.name << ": kept for another try";
        }
        window.form.reset();
    }
}

// The wipe of "Delete selected file" shows its passes on the status line as a job does.
TEST(WindowJobThread, DeleteSelectedFileShowsItsPasses)
{
    WindowFixture window;
    const std::string source = window.dir / "secret.txt";
    lwtest::WriteFile(source, lwtest::TextBytes(200000, 9));
    HookedAsk ask({lw::mbOK});
    window.form = std::make_unique<lw::TForm1>(
        source, lw::TSettingsFiles(window.dir / "lockwell", window.dir / "config"), ask, window.handOff);
    window.form->SetUpForMode(false);
    QString barAtEnd;
    Locked during{};
    ask.onBox = [&](const std::string& text) {
        if (text != "File deleted")
            return;
        during = LookAt(window);
        QTest::qWait(250); // the bar reads the job a few times a second
        barAtEnd = window.Find<QProgressBar>("Progress")->text();
    };
    window.form->show();
    QTest::mouseClick(window.Find<QPushButton>("Button2"), Qt::LeftButton);
    window.WaitForJob();
    EXPECT_FALSE(std::filesystem::exists(source));
    EXPECT_EQ(during.button, "Stop");
    EXPECT_TRUE(during.barShown);
    EXPECT_TRUE(barAtEnd.startsWith("Wiping pass 7/7 100%")) << barAtEnd.toStdString();
    EXPECT_FALSE(window.form->isVisible());
}

} // namespace
