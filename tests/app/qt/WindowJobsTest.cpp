// The action and delete buttons running real jobs and wipes on temp files.
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "WindowFixture.h"

namespace {

using lw::TMsgDlgType;
using lwtest::Box;
using lwtest::WindowFixture;

void Click(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
}

// Types the phrase and presses the action button on a shown window.
void RunJob(WindowFixture& window, const char* phrase)
{
    window.form->show();
    QTest::keyClicks(window.Find<QLineEdit>("Edit1"), phrase);
    QTest::mouseClick(window.Find<QPushButton>("Button1"), Qt::LeftButton);
    window.WaitForJob();
}

TEST(WindowJobs, EncryptThenDecryptThroughTheWindow)
{
    const lwtest::Bytes plain = lwtest::TextBytes(20000, 7);
    std::string source, encrypted;
    {
        WindowFixture window;
        source = window.dir / "plain.txt";
        encrypted = source + ".fe2";
        lwtest::WriteFile(source, plain);
        window.Open(source);
        RunJob(window, "key phrase");
        EXPECT_FALSE(window.form->isVisible()) << "the window closes after the job";
        EXPECT_EQ(window.Find<QLineEdit>("Edit1")->text(), "");
        EXPECT_EQ(window.ask.boxes, (std::vector<Box>{{TMsgDlgType::mtInformation, "File encrypted", lw::mbOK}}));
        EXPECT_TRUE(window.handOff.calls.empty());
        const auto cipherText = lwtest::ReadFile(encrypted);
        EXPECT_EQ(cipherText.size(), plain.size()) << "no header, no padding";
        EXPECT_NE(cipherText, plain);

        // The same folder again, now on the encrypted file: decrypt mode, same cipher from the settings.
        std::filesystem::remove(source);
        window.form.reset();
        window.ask.boxes.clear();
        window.Open(encrypted);
        RunJob(window, "key phrase");
        EXPECT_FALSE(window.form->isVisible());
        EXPECT_EQ(window.ask.boxes, (std::vector<Box>{{TMsgDlgType::mtInformation, "File decrypted", lw::mbOK}}));
        EXPECT_EQ(lwtest::ReadFile(source), plain);
    }
}

TEST(WindowJobs, NoAtTheOverwritePromptKeepsTheWindowOpen)
{
    WindowFixture window;
    const std::string source = window.dir / "plain.txt";
    lwtest::WriteFile(source, {1, 2, 3});
    lwtest::WriteFile(source + ".fe2", {9});
    window.ask = lwtest::ScriptedAsk({lw::mbNo});
    window.Open(source);
    RunJob(window, "phrase");
    ASSERT_EQ(window.ask.boxes.size(), 1u);
    EXPECT_EQ(window.ask.boxes[0].buttons, lw::mbYes | lw::mbNo | lw::mbIgnore);
    EXPECT_TRUE(window.form->isVisible()) << "abandoned: the user may change options and try again";
    EXPECT_EQ(window.Find<QLineEdit>("Edit1")->text(), "phrase") << "kept for the next try";
    EXPECT_EQ(lwtest::ReadFile(source + ".fe2"), lwtest::Bytes{9});
}

TEST(WindowJobs, OptionsReachTheJob)
{
    struct Case {
        const char* name;
        std::vector<const char*> boxes; // checked in this order
        const char* folderFrom;         // "dblclick" or "pick", or nullptr
        std::vector<lw::TMsgDlgBtn> answers;
        const char* output;             // relative to the temp folder
        std::vector<std::string> calls; // with OUT for the output path
        bool kept = true;               // the output is there after the job
    };
    const Case cases[] = {
        {"copy", {"copybox"}, nullptr, {}, "plain.txt.fe2", {"clipboard:OUT", "events"}},
        {"compress", {"compbox"}, nullptr, {}, "plain.txt.fez", {}},
        {"mail", {"emailbox"}, nullptr, {}, "plain.txt.fe2", {"mail:OUT"}},
        // A checked copybox disabled by delmailbox does not copy. After mailing the user is
        // asked whether the output goes now, then the wipe confirms.
        {"mail and keep", {"copybox", "emailbox", "delmailbox"}, nullptr, {lw::mbNo}, "plain.txt.fe2", {"mail:OUT"}},
        {"mail and delete",
         {"emailbox", "delmailbox"},
         nullptr,
         {lw::mbYes, lw::mbOK},
         "plain.txt.fe2",
         {"mail:OUT"},
         false},
        {"label double click", {}, "dblclick", {}, "plain.txt.fe2", {}},
        {"picked folder", {}, "pick", {}, "out/plain.txt.fe2", {}},
    };
    for (const auto& c : cases) {
        WindowFixture window;
        const std::string source = window.dir / "plain.txt";
        lwtest::WriteFile(source, lwtest::TextBytes(100, 1));
        std::filesystem::create_directory(window.dir / "out");
        window.ask = lwtest::ScriptedAsk({c.answers.begin(), c.answers.end()});
        window.Open(source);
        for (const char* name : c.boxes)
            Click(window.Find<QCheckBox>(name));
        if (c.folderFrom && std::string(c.folderFrom) == "dblclick")
            QTest::mouseDClick(window.Find<QLabel>("Label3"), Qt::LeftButton);
        if (c.folderFrom && std::string(c.folderFrom) == "pick") {
            window.nextFolder = window.dir / "out";
            Click(window.Find<QPushButton>("Button4"));
            QTest::keyClick(window.Find<QComboBox>("folders"), Qt::Key_Down);
        }
        RunJob(window, "k");
        const std::string output = window.dir / c.output;
        EXPECT_EQ(std::filesystem::exists(output), c.kept) << c.name;
        std::vector<std::string> calls;
        for (std::string call : c.calls) {
            if (const auto at = call.find("OUT"); at != std::string::npos)
                call.replace(at, 3, output);
            calls.push_back(call);
        }
        // A folder taken from the label keeps its separator, and the job adds one.
        if (c.folderFrom && std::string(c.folderFrom) == "dblclick") {
            EXPECT_EQ(window.form->DestinationFolder(), window.dir.Path() + "/") << c.name;
        }
        EXPECT_EQ(window.handOff.calls, calls) << c.name;
        EXPECT_TRUE(window.ask.ScriptUsedUp()) << c.name;
        EXPECT_FALSE(window.form->isVisible()) << c.name;
    }
}

TEST(WindowJobs, NoCipherSelectedFailsTheJob)
{
    WindowFixture window;
    window.Put(window.Ini(), "[Options]\r\nCipher=-5\r\n");
    const std::string source = window.dir / "plain.txt";
    lwtest::WriteFile(source, {1});
    window.Open(source);
    RunJob(window, "k");
    EXPECT_EQ(window.ask.boxes, (std::vector<Box>{{TMsgDlgType::mtError, "File IO error", lw::mbOK}}));
    ASSERT_EQ(window.ask.details.size(), 1u) << "the box names the reason";
    EXPECT_EQ(window.ask.details[0], "No cipher selected");
    // Open for another try: the phrase kept, the controls back as they were.
    EXPECT_TRUE(window.form->isVisible());
    EXPECT_EQ(window.Find<QLineEdit>("Edit1")->text(), "k");
    EXPECT_TRUE(window.Find<QLineEdit>("Edit1")->isEnabled());
    EXPECT_EQ(window.Find<QPushButton>("Button1")->text(), "&Encrypt");
    EXPECT_FALSE(window.Find<QCheckBox>("runbox")->isEnabled()) << "a control disabled before stays so";
    EXPECT_EQ(window.Text(window.Ini()), "[Options]\r\nCipher=-5\r\n");
}

TEST(WindowJobs, DeleteSelectedFileHasThreeOutcomes)
{
    const struct {
        const char* name;
        bool exists;
        lw::TMsgDlgBtn confirm;
        Box result;
        bool remains;
    } cases[] = {
        {"wiped", true, lw::mbOK, {TMsgDlgType::mtInformation, "File deleted", lw::mbOK}, false},
        {"declined", true, lw::mbCancel, {TMsgDlgType::mtWarning, "File NOT deleted", lw::mbOK}, true},
        {"failed", false, lw::mbOK, {TMsgDlgType::mtWarning, "File NOT deleted", lw::mbOK}, false},
    };
    for (const auto& c : cases) {
        WindowFixture window;
        const std::string source = window.dir / "secret.txt";
        if (c.exists)
            lwtest::WriteFile(source, lwtest::TextBytes(5000, 3));
        window.ask = lwtest::ScriptedAsk({c.confirm});
        window.Open(source);
        window.form->show();
        Click(window.Find<QPushButton>("Button2"));
        window.WaitForJob();
        ASSERT_EQ(window.ask.boxes.size(), 2u) << c.name;
        EXPECT_EQ(window.ask.boxes[0].kind, TMsgDlgType::mtWarning) << c.name;
        EXPECT_EQ(window.ask.boxes[0].buttons, lw::mbOK | lw::mbCancel) << c.name;
        EXPECT_EQ(window.ask.boxes[1], c.result) << c.name;
        EXPECT_EQ(std::filesystem::exists(source), c.remains) << c.name;
        EXPECT_FALSE(window.form->isVisible()) << c.name;
        EXPECT_TRUE(std::filesystem::exists(window.Dat())) << c.name << ": the list is saved on this close too";
    }
}

} // namespace
