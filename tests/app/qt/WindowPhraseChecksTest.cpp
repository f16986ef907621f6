// The questions the window asks before a job on the phrase typed: an empty phrase for
// encryption, and the phrase typed twice when the source is to be deleted. Real jobs on
// temp files; the files on disk tell what ran.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

#include "jobs/JobRows.h"
#include "WindowFixture.h"
#include "app/qt/MessageDialog.h"
#include "app/core/PhraseChecks.h"
#include "jobs/Jobs.h"

namespace {

using lw::TMsgDlgBtn;
using lw::TMsgDlgType;
using lwtest::Box;
using lwtest::Bytes;
using lwtest::WindowFixture;
namespace fsys = std::filesystem;

const char* const kEmptyQuestion = "The key phrase is empty: anyone can decrypt the file. Encrypt anyway?";
const char* const kDiffer = "The two key phrases differ. Nothing was encrypted.";
const char* const kWipe = "You are about to wipe plain.txt\r\nand make it unrecoverable.Continue?";

// Passes the boxes on to a script and notes the default each was given (nothing: AskUser).
class DefaultsAsk final : public lw::IAskUser {
public:
    explicit DefaultsAsk(lwtest::ScriptedAsk& script) : m_script(script) {}
    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        defaults.push_back(std::nullopt);
        return m_script.AskUser(kind, text, buttons);
    }
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override
    {
        defaults.push_back(defaultButton);
        return m_script.AskUser(kind, text, buttons);
    }
    std::vector<std::optional<TMsgDlgBtn>> defaults;

private:
    lwtest::ScriptedAsk& m_script;
};

// What the second-phrase prompt showed and how it was answered.
struct PromptSeen {
    int shown = 0;
    QString title;
    QString label;
    bool masked = false;
};

// Types `second` and presses Enter, or presses Escape when there is nothing to type.
void DrivePrompt(lw::TForm1& form, PromptSeen& seen, std::optional<std::string> second)
{
    form.PhrasePrompt().SetDriverForTesting([&seen, second](QDialog& prompt) {
        ++seen.shown;
        seen.title = prompt.windowTitle();
        seen.label = prompt.findChild<QLabel*>("Label")->text();
        auto* field = prompt.findChild<QLineEdit*>("Phrase");
        seen.masked = field->echoMode() == QLineEdit::Password;
        if (!second) {
            QTest::keyClick(field, Qt::Key_Escape);
            return;
        }
        QTest::keyClicks(field, QString::fromStdString(*second));
        QTest::keyClick(field, Qt::Key_Return);
    });
}

Bytes DecryptWithJob(const std::string& source, const std::string& phrase, int cipher, const std::string& output)
{
    lwtest::ScriptedAsk ask;
    lwtest::RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::RunDecryptJob(lwtest::JobOptions(source, phrase, cipher), context);
    EXPECT_EQ(context.FailureReason, "");
    return lwtest::ReadFile(output);
}

} // namespace

TEST(WindowPhraseChecks, RiskyEncryptionsAskFirstAndStopKeepingEverything)
{
    const struct {
        const char* name;
        const char* phrase;
        bool deleteSource;
        std::vector<TMsgDlgBtn> answers;
        std::optional<std::string> second; // typed in the prompt; nothing: Escape
        std::vector<Box> boxes;
        std::vector<std::optional<TMsgDlgBtn>> defaults;
        int prompts;
        bool runs;
        bool sourceStays;
    } rows[] = {
        {"empty phrase, Yes",
         "",
         false,
         {lw::mbYes},
         std::nullopt,
         {{TMsgDlgType::mtWarning, kEmptyQuestion, lw::mbYes | lw::mbNo},
          {TMsgDlgType::mtInformation, "File encrypted", lw::mbOK}},
         {lw::mbNo, std::nullopt},
         0,
         true,
         true},
        {"empty phrase, No",
         "",
         false,
         {lw::mbNo},
         std::nullopt,
         {{TMsgDlgType::mtWarning, kEmptyQuestion, lw::mbYes | lw::mbNo}},
         {lw::mbNo},
         0,
         false,
         true},
        {"second phrase the same",
         "pass word",
         true,
         {lw::mbOK},
         "pass word",
         {{TMsgDlgType::mtWarning, kWipe, lw::mbOK | lw::mbCancel},
          {TMsgDlgType::mtInformation, "File encrypted", lw::mbOK}},
         {lw::mbCancel, std::nullopt},
         1,
         true,
         false},
        {"second phrase different",
         "pass word",
         true,
         {},
         "pass wore",
         {{TMsgDlgType::mtWarning, kDiffer, lw::mbOK}},
         {std::nullopt},
         1,
         false,
         true},
        {"second phrase a prefix",
         "pass word",
         true,
         {},
         "pass",
         {{TMsgDlgType::mtWarning, kDiffer, lw::mbOK}},
         {std::nullopt},
         1,
         false,
         true},
        {"second prompt cancelled", "pass word", true, {}, std::nullopt, {}, {}, 1, false, true},
        {"empty phrase, Yes, then typed again",
         "",
         true,
         {lw::mbYes, lw::mbCancel},
         "",
         {{TMsgDlgType::mtWarning, kEmptyQuestion, lw::mbYes | lw::mbNo},
          {TMsgDlgType::mtWarning, kWipe, lw::mbOK | lw::mbCancel},
          {TMsgDlgType::mtInformation, "File encrypted", lw::mbOK}},
         {lw::mbNo, lw::mbCancel, std::nullopt},
         1,
         true,
         true},
        {"empty phrase, No, no prompt",
         "",
         true,
         {lw::mbNo},
         "",
         {{TMsgDlgType::mtWarning, kEmptyQuestion, lw::mbYes | lw::mbNo}},
         {lw::mbNo},
         0,
         false,
         true},
    };
    for (const auto& row : rows) {
        lwtest::ScriptedAsk script({row.answers.begin(), row.answers.end()});
        DefaultsAsk ask(script);
        WindowFixture window;
        const std::string source = window.dir / "plain.txt";
        const Bytes data = lwtest::TextBytes(9000, 11);
        lwtest::WriteFile(source, data);
        window.form = std::make_unique<lw::TForm1>(
            source, lw::TSettingsFiles(window.dir / "lockwell", window.dir / "config"), ask, window.handOff);
        window.form->SetUpForMode(false);
        PromptSeen seen;
        DrivePrompt(*window.form, seen, row.second);
        window.form->show();
        QTest::mouseClick(window.Find<QCheckBox>("compbox"), Qt::LeftButton, {}, QPoint(4, 8));
        if (row.deleteSource)
            QTest::mouseClick(window.Find<QCheckBox>("shredbox"), Qt::LeftButton, {}, QPoint(4, 8));
        QTest::keyClicks(window.Find<QLineEdit>("Edit1"), row.phrase);
        QTest::mouseClick(window.Find<QPushButton>("Button1"), Qt::LeftButton);
        window.WaitForJob();

        EXPECT_EQ(script.boxes, row.boxes) << row.name;
        EXPECT_EQ(ask.defaults, row.defaults) << row.name;
        EXPECT_TRUE(script.ScriptUsedUp()) << row.name;
        EXPECT_EQ(seen.shown, row.prompts) << row.name;
        if (row.prompts) {
            EXPECT_EQ(seen.title, "Confirm") << row.name;
            EXPECT_EQ(seen.label, "Type the key phrase again:") << row.name;
            EXPECT_TRUE(seen.masked) << row.name;
        }
        EXPECT_EQ(fsys::exists(source), row.sourceStays) << row.name;
        if (row.sourceStays) {
            EXPECT_TRUE(lwtest::ReadFile(source) == data) << row.name;
        }
        EXPECT_EQ(fsys::exists(source + ".fez"), row.runs) << row.name;
        EXPECT_EQ(window.form->isVisible(), !row.runs) << row.name;
        if (row.runs) {
            // Compressed and keyed with the phrase typed.
            fsys::rename(source + ".fez", window.dir / "copy.fez");
            EXPECT_TRUE(DecryptWithJob(window.dir / "copy.fez", row.phrase, 1, window.dir / "copy") == data)
                << row.name;
            EXPECT_EQ(window.Find<QLineEdit>("Edit1")->text(), "") << row.name;
        } else {
            // Stopped: nothing written, and the window as the user left it.
            for (const auto& entry : fsys::directory_iterator(window.dir.Path()))
                EXPECT_TRUE(entry.path() == source || entry.path() == window.Ini()) << row.name << ": " << entry.path();
            EXPECT_EQ(window.Find<QLineEdit>("Edit1")->text().toStdString(), row.phrase) << row.name;
            EXPECT_TRUE(window.Find<QCheckBox>("compbox")->isChecked()) << row.name;
            EXPECT_EQ(window.Find<QCheckBox>("shredbox")->isChecked(), row.deleteSource) << row.name;
        }
    }
}

TEST(WindowPhraseChecks, DecryptingAsksNothingExtra)
{
    const struct {
        const char* name;
        const char* phrase;
        bool deleteSource;
    } rows[] = {{"empty phrase", "", false}, {"empty phrase, delete source", "", true}, {"delete source", "key", true}};
    for (const auto& row : rows) {
        WindowFixture window;
        const std::string plain = window.dir / "plain.txt";
        const Bytes data = lwtest::TextBytes(5000, 12);
        lwtest::WriteFile(plain, data);
        {
            lwtest::ScriptedAsk ask;
            lwtest::RecordingHandOff handOff;
            lw::TJobContext context{ask, handOff};
            ASSERT_TRUE(lw::RunEncryptJob(lwtest::JobOptions(plain, row.phrase, 1), context));
        }
        fsys::remove(plain);
        const std::string source = plain + ".fe2";
        window.ask = lwtest::ScriptedAsk({lw::mbOK});
        window.Open(source);
        PromptSeen seen;
        DrivePrompt(*window.form, seen, row.phrase);
        if (row.deleteSource)
            QTest::mouseClick(window.Find<QCheckBox>("shredbox"), Qt::LeftButton, {}, QPoint(4, 8));
        window.form->show();
        QTest::keyClicks(window.Find<QLineEdit>("Edit1"), row.phrase);
        QTest::mouseClick(window.Find<QPushButton>("Button1"), Qt::LeftButton);
        window.WaitForJob();

        std::vector<Box> boxes;
        if (row.deleteSource)
            boxes.push_back({TMsgDlgType::mtWarning,
                             "You are about to wipe plain.txt.fe2\r\nand make it unrecoverable.Continue?",
                             lw::mbOK | lw::mbCancel});
        boxes.push_back({TMsgDlgType::mtInformation, "File decrypted", lw::mbOK});
        EXPECT_EQ(window.ask.boxes, boxes) << row.name;
        EXPECT_EQ(seen.shown, 0) << row.name;
        EXPECT_TRUE(lwtest::ReadFile(plain) == data) << row.name;
        EXPECT_EQ(fsys::exists(source), !row.deleteSource) << row.name;
        EXPECT_FALSE(window.form->isVisible()) << row.name;
    }
}

// The real message box on the empty-phrase question: Enter, or Escape, answers No.
TEST(WindowPhraseChecks, EnterOnTheRiskyQuestionAnswersNo)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        lw::TMessageDialog dialog;
        WindowFixture window;
        const std::string source = window.dir / "plain.txt";
        lwtest::WriteFile(source, lwtest::TextBytes(300, 13));
        window.form = std::make_unique<lw::TForm1>(
            source, lw::TSettingsFiles(window.dir / "lockwell", window.dir / "config"), dialog, window.handOff);
        window.form->SetUpForMode(false);
        dialog.SetOwner(window.form.get());
        QString text, focused;
        dialog.SetDriverForTesting([&](QDialog& box) {
            text = box.findChild<QLabel*>("Message")->text();
            focused = box.focusWidget() ? box.focusWidget()->objectName() : QString();
            QTest::keyClick(box.focusWidget() ? box.focusWidget() : &box, key);
        });
        window.form->show();
        QTest::mouseClick(window.Find<QPushButton>("Button1"), Qt::LeftButton);
        EXPECT_EQ(text, kEmptyQuestion) << key;
        EXPECT_EQ(focused, "No") << key;
        EXPECT_TRUE(window.form->isVisible()) << key;
        EXPECT_TRUE(lwtest::ReadFile(source) == lwtest::TextBytes(300, 13)) << key;
        EXPECT_FALSE(fsys::exists(source + ".fe2")) << key;
        window.form.reset(); // before the dialog it asks through
    }
}

// The decisions alone, with a prompt that says what it was asked.
TEST(PhraseChecks, OrderOfTheQuestions)
{
    struct Again final : lw::IAskPhraseAgain {
        bool AskPhraseAgain(std::string& phrase) override
        {
            ++asked;
            phrase = typed;
            return true;
        }
        int asked = 0;
        std::string typed;
    };
    const struct {
        bool encrypt;
        bool deleteSource;
        const char* phrase;
        std::vector<TMsgDlgBtn> answers;
        const char* typed;
        bool mayRun;
        size_t boxes;
        int prompts;
    } rows[] = {
        {true, false, "k", {}, "", true, 0, 0},
        {true, true, "k", {}, "k", true, 0, 1},
        {true, true, "k", {}, "K", false, 1, 1},
        {true, true, "", {lw::mbNo}, "", false, 1, 0},
        {true, false, "", {lw::mbCancel}, "", false, 1, 0},
        {true, true, "", {lw::mbYes}, "x", false, 2, 1},
        {false, true, "", {}, "x", true, 0, 0},
        {false, false, "", {}, "", true, 0, 0},
    };
    for (const auto& row : rows) {
        lwtest::ScriptedAsk ask({row.answers.begin(), row.answers.end()});
        Again again;
        again.typed = row.typed;
        lw::TPhraseChecks checks(ask, again);
        EXPECT_EQ(checks.MayRun(row.encrypt, row.deleteSource, row.phrase), row.mayRun)
            << row.encrypt << row.deleteSource << "\"" << row.phrase << "\"";
        EXPECT_EQ(ask.boxes.size(), row.boxes);
        EXPECT_EQ(again.asked, row.prompts);
        EXPECT_TRUE(ask.ScriptUsedUp());
    }
}
