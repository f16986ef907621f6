// The jobs the shared window runs: options taken from the controls, real files, the window's
// state during and after a job, and closing.
#include <filesystem>
#include <optional>
#include <gtest/gtest.h>

#include "WindowDoubles.h"

namespace {

using lw::TControl;
using lwtest::Bytes;
using lwtest::WindowRig;

struct Shown {
    bool edit, options, ciphers, deleteButton, original, destination, folders;
    std::string button;
};

Shown LookAt(const WindowRig& rig)
{
    return {rig.Enabled(TControl::Edit1),   rig.Enabled(TControl::GroupBox1),       rig.Enabled(TControl::ciphers),
            rig.Enabled(TControl::Button2), rig.Enabled(TControl::Button3),         rig.Enabled(TControl::Button4),
            rig.Enabled(TControl::folders), rig.view.captions.at(TControl::Button1)};
}

// One encryption per row with the row's boxes checked; what came out and what was handed on.
TEST(MainWindowJobs, OptionsFollowTheCheckBoxes)
{
    const struct {
        const char* name;
        std::vector<TControl> checked; // in this order, each click told to the window
        std::deque<lw::TMsgDlgBtn> answers;
        const char* output; // in the temp folder
        bool sourceKept;
        std::vector<std::string> handOffs; // "OUT" is the output's path
        int askedAgain;
    } rows[] = {
        {"none", {}, {}, "plain.txt.fe2", true, {}, 0},
        {"compress", {TControl::compbox}, {}, "plain.txt.fez", true, {}, 0},
        {"delete source", {TControl::shredbox}, {lw::mbOK}, "plain.txt.fe2", false, {}, 1}, // the wipe's own question
        {"clipboard", {TControl::copybox}, {}, "plain.txt.fe2", true, {"clipboard:OUT", "events"}, 0},
        {"mail", {TControl::emailbox}, {}, "plain.txt.fe2", true, {"mail:OUT"}, 0},
        // Delete after mail disables the clipboard box: its check mark no longer counts.
        {"mail, delete after, clipboard disabled",
         {TControl::copybox, TControl::emailbox, TControl::delmailbox},
         {lw::mbNo},
         "plain.txt.fe2",
         true,
         {"mail:OUT"},
         0},
        {"run output is for decrypting only", {TControl::runbox}, {}, "plain.txt.fe2", true, {}, 0},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        const std::string source = rig.dir / "plain.txt";
        const Bytes data = lwtest::TextBytes(5000, 3);
        lwtest::WriteFile(source, data);
        auto& window = rig.Open(source);
        rig.ask.script = lwtest::ScriptedAsk(row.answers);
        for (const TControl box : row.checked) {
            rig.view.checked[box] = true;
            if (box == TControl::emailbox)
                window.emailboxClick();
            if (box == TControl::delmailbox)
                window.delmailboxClick();
        }
        rig.view.phrase = "phrase";
        rig.again.again = "phrase";
        window.Button1Click();
        rig.WaitForJob();

        const std::string output = rig.dir / row.output;
        EXPECT_TRUE(std::filesystem::exists(output)) << row.name;
        EXPECT_EQ(std::filesystem::exists(source), row.sourceKept) << row.name;
        std::vector<std::string> handOffs;
        for (const auto& call : row.handOffs)
            handOffs.push_back(call.ends_with("OUT") ? call.substr(0, call.size() - 3) + output : call);
        EXPECT_EQ(rig.handOff.calls, handOffs) << row.name;
        EXPECT_EQ(rig.again.asked, row.askedAgain) << row.name;
        EXPECT_TRUE(rig.ask.script.ScriptUsedUp()) << row.name;
        EXPECT_TRUE(rig.view.closed) << row.name << ": a job that ran to its end closes the window";
        EXPECT_EQ(rig.view.phrase, "") << row.name;
    }
}

// The cipher and the destination folder reach the job: a file encrypted into another folder
// with the cipher chosen comes back only through the same cipher, and the decryption runs it.
TEST(MainWindowJobs, CipherDestinationAndRunReachTheJobs)
{
    lwtest::TempDir elsewhere;
    const Bytes data = lwtest::TextBytes(7000, 11);
    std::string encrypted;
    Bytes byCipher[2];
    for (const int cipher : {3, 0}) {
        WindowRig rig;
        const std::string source = rig.dir / "notes.txt";
        lwtest::WriteFile(source, data);
        auto& window = rig.Open(source);
        window.ciphersClick(cipher);
        rig.picker.next = elsewhere.Path();
        window.Button4Click();
        rig.view.phrase = "key";
        window.Button1Click();
        rig.WaitForJob();
        const std::string output = elsewhere / "notes.txt.fe2";
        ASSERT_TRUE(std::filesystem::exists(output)) << cipher;
        byCipher[cipher == 3 ? 0 : 1] = lwtest::ReadFile(output);
        if (cipher == 3) {
            encrypted = elsewhere / "kept.txt.fe2";
            std::filesystem::rename(output, encrypted);
        }
    }
    EXPECT_NE(byCipher[0], byCipher[1]) << "the cipher chosen was used";

    WindowRig rig;
    rig.Put(rig.Ini(), "[Options]\r\nCipher=3\r\n");
    auto& window = rig.Open(encrypted, true);
    rig.view.checked[TControl::runbox] = true;
    rig.view.phrase = "key";
    window.Button1Click();
    rig.WaitForJob();
    const std::string plain = elsewhere / "kept.txt";
    EXPECT_EQ(lwtest::ReadFile(plain), data);
    EXPECT_EQ(rig.handOff.calls, std::vector<std::string>{"open:" + plain});
    EXPECT_TRUE(rig.view.closed);
}

TEST(MainWindowJobs, NoCipherSelectedFailsAndTheWindowStays)
{
    WindowRig rig;
    rig.Put(rig.Ini(), "[Options]\nCipher=-5\n");
    const std::string source = rig.dir / "plain.txt";
    lwtest::WriteFile(source, lwtest::TextBytes(100, 1));
    auto& window = rig.Open(source);
    rig.view.phrase = "phrase";
    window.Button1Click();
    rig.WaitForJob();
    ASSERT_FALSE(rig.ask.script.boxes.empty());
    EXPECT_EQ(rig.ask.script.boxes.back().text, "File IO error");
    EXPECT_FALSE(rig.view.closed);
    EXPECT_EQ(rig.view.phrase, "phrase") << "kept for another try";
}

// A ".fe2" that decrypts to noise (a wrong phrase or cipher): the window asks whether to
// keep it, No the default. No leaves nothing and the window open with the phrase, so that
// another cipher or phrase can be tried at once; Yes keeps the file and closes as usual.
TEST(MainWindowJobs, ADoubtfulDecryptIsKeptOnlyWhenTheUserSaysSo)
{
    for (lw::TMsgDlgBtn answer : {lw::mbNo, lw::mbYes}) {
        WindowRig rig;
        const std::string source = rig.dir / "report.odt.fe2";
        lwtest::WriteFile(source, lwtest::RandomBytes(5000, 4));
        auto& window = rig.Open(source, true);
        rig.ask.script = lwtest::ScriptedAsk({answer});
        rig.view.phrase = "wrong phrase";
        window.Button1Click();
        rig.WaitForJob();
        ASSERT_FALSE(rig.ask.script.boxes.empty());
        const auto& keep = rig.ask.script.boxes[0];
        EXPECT_TRUE(keep.text.ends_with(" Keep \"report.odt\"?")) << keep.text;
        EXPECT_EQ(keep.buttons, lw::mbYes | lw::mbNo);
        EXPECT_EQ(rig.ask.script.defaults[0], lw::mbNo);
        const bool kept = answer == lw::mbYes;
        EXPECT_EQ(std::filesystem::exists(rig.dir / "report.odt"), kept);
        EXPECT_EQ(rig.ask.script.boxes.size(), kept ? 2u : 1u) << "no further box after No";
        EXPECT_EQ(rig.view.closed, kept);
        EXPECT_EQ(rig.view.phrase, kept ? "" : "wrong phrase");
        EXPECT_TRUE(std::filesystem::exists(source));
    }
}

// The job waits at the overwrite prompt: locked there, and after the answer the window closes
// or stays as it was.
TEST(MainWindowJobs, OverwritePromptDecidesBetweenClosingAndStaying)
{
    const struct {
        const char* name;
        lw::TMsgDlgBtn answer;
        bool replaced, closes;
    } rows[] = {
        {"No", lw::mbNo, false, false},
        {"overwrite", lw::mbIgnore, true, true},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        rig.Put(rig.Dat(), "/srv/a\r\n");
        const std::string source = rig.dir / "plain.txt";
        lwtest::WriteFile(source, lwtest::TextBytes(3000, 2));
        lwtest::WriteFile(source + ".fe2", {7, 7, 7});
        auto& window = rig.Open(source);
        window.foldersSelect(0);
        window.Button3Click(); // the output beside the source, Original off again
        window.Label3DblClick();
        std::filesystem::remove(rig.Dat());
        std::optional<Shown> during;
        rig.ask.script = lwtest::ScriptedAsk({row.answer});
        rig.ask.onBox = [&](const std::string& text) {
            if (text.rfind("This action will result in overwriting", 0) == 0)
                during = LookAt(rig);
        };
        rig.view.phrase = "phrase";
        rig.view.hint = "Folder for destination file";
        window.Button1Click();
        EXPECT_EQ(rig.view.focus, TControl::Button1) << row.name;
        window.ApplicationIdle();
        EXPECT_EQ(rig.view.captions.count(TControl::Panel1), 0u) << row.name << ": the progress has the status line";
        rig.WaitForJob();

        ASSERT_TRUE(during) << row.name;
        EXPECT_FALSE(during->edit || during->options || during->ciphers || during->deleteButton || during->original ||
                     during->destination || during->folders)
            << row.name;
        EXPECT_EQ(during->button, "Stop") << row.name;
        EXPECT_EQ(rig.view.progress, (std::vector<bool>{true, false})) << row.name;
        EXPECT_EQ(lwtest::ReadFile(source + ".fe2").size() != 3, row.replaced) << row.name;
        EXPECT_EQ(rig.view.closed, row.closes) << row.name;
        if (row.closes) {
            EXPECT_EQ(rig.Text(rig.Dat()), "/srv/a\r\n") << row.name << ": the list is saved at the close";
        } else {
            EXPECT_FALSE(std::filesystem::exists(rig.Dat())) << row.name;
        }
        if (!row.closes) {
            const Shown after = LookAt(rig);
            EXPECT_TRUE(after.edit && after.options && after.ciphers && after.deleteButton && after.destination &&
                        after.folders)
                << row.name;
            EXPECT_FALSE(after.original) << row.name << ": as it was before the job";
            EXPECT_EQ(after.button, "&Encrypt") << row.name;
            EXPECT_EQ(rig.view.focus, TControl::Edit1) << row.name;
            EXPECT_EQ(rig.view.phrase, "phrase") << row.name;
            EXPECT_EQ(rig.view.captions[TControl::Panel1], "Folder for destination file") << row.name;
            EXPECT_EQ(window.DestinationFolder(), rig.dir.Path() + "/") << row.name;
        }
    }
}

// Inside one of the job's boxes the user stops the job or asks to close the window; the
// overwrite prompt is answered "overwrite", so a job not stopped replaces the old output.
TEST(MainWindowJobs, StopAndTheStopQuestion)
{
    const char* const overwrite = "This action will resu";
    const char* const stop = "Stop the running job?";
    const char* const done = "File encrypted";
    const struct {
        const char* name;
        const char* act; // "stop", "close"
        const char* at;  // the box it happens in
        std::deque<lw::TMsgDlgBtn> answers;
        std::vector<std::string> boxes; // their first 21 characters
        bool stopped, closes;
    } rows[] = {
        {"Stop pressed", "stop", overwrite, {lw::mbIgnore}, {overwrite}, true, false},
        {"close, Yes", "close", overwrite, {lw::mbYes, lw::mbIgnore}, {stop, overwrite}, true, true},
        {"close, No", "close", overwrite, {lw::mbNo, lw::mbIgnore}, {stop, overwrite, done}, false, true},
        // Too late to stop: the job ran to its end and closes the window, once.
        {"close, Yes at the last box", "close", done, {lw::mbIgnore, lw::mbYes}, {overwrite, stop, done}, false, true},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        const std::string source = rig.dir / "plain.txt";
        lwtest::WriteFile(source, lwtest::TextBytes(3000, 4));
        lwtest::WriteFile(source + ".fe2", {7, 7, 7});
        auto& window = rig.Open(source);
        rig.ask.script = lwtest::ScriptedAsk(row.answers);
        bool closeAllowed = true;
        bool button1AfterStop = true;
        rig.ask.onBox = [&](const std::string& text) {
            if (text.rfind(row.at, 0) != 0)
                return;
            if (std::string(row.act) == "stop") {
                window.Button1Click();
                button1AfterStop = rig.Enabled(TControl::Button1);
                window.Edit1Return(); // Button1 is off: nothing more happens
            } else {
                closeAllowed = window.FormCloseQuery();
            }
        };
        rig.view.phrase = "phrase";
        window.Edit1Return();
        rig.WaitForJob();

        std::vector<std::string> texts;
        for (const auto& box : rig.ask.script.boxes)
            texts.push_back(box.text.substr(0, 21));
        EXPECT_EQ(texts, row.boxes) << row.name;
        if (std::string(row.act) == "close") {
            EXPECT_FALSE(closeAllowed) << row.name << ": a running job keeps the window open";
            EXPECT_EQ(rig.thread.holds, 1) << row.name;
        } else {
            EXPECT_FALSE(button1AfterStop) << row.name;
            EXPECT_EQ(rig.view.captions[TControl::Panel1], "Stopped: nothing was written") << row.name;
        }
        EXPECT_EQ(lwtest::ReadFile(source + ".fe2").size() == 3, row.stopped) << row.name;
        EXPECT_EQ(rig.view.closed, row.closes) << row.name;
        EXPECT_EQ(rig.view.closeRequests, row.closes ? 1 : 0) << row.name << ": closed once";
        if (!row.closes) {
            EXPECT_TRUE(rig.Enabled(TControl::Button1)) << row.name;
            EXPECT_EQ(rig.view.captions[TControl::Button1], "&Encrypt") << row.name;
        }
    }
}

TEST(MainWindowJobs, DeleteSelectedFileReportsAndCloses)
{
    const struct {
        lw::TMsgDlgBtn confirm;
        bool deleted;
        const char* box;
        lw::TMsgDlgType kind;
    } rows[] = {
        {lw::mbOK, true, "File deleted", lw::TMsgDlgType::mtInformation},
        {lw::mbCancel, false, "File NOT deleted", lw::TMsgDlgType::mtWarning},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        const std::string source = rig.dir / "secret.txt";
        lwtest::WriteFile(source, lwtest::TextBytes(4000, 9));
        auto& window = rig.Open(source);
        rig.ask.script = lwtest::ScriptedAsk({row.confirm});
        window.Button2Click();
        EXPECT_TRUE(window.JobRunning());
        rig.WaitForJob();
        EXPECT_EQ(std::filesystem::exists(source), !row.deleted) << row.box;
        ASSERT_EQ(rig.ask.script.boxes.size(), 2u) << row.box;
        EXPECT_EQ(rig.ask.script.defaults[0], lw::mbCancel) << "Enter alone must not wipe";
        EXPECT_EQ(rig.ask.script.boxes[1], (lwtest::Box{row.kind, row.box, lw::mbOK}));
        EXPECT_TRUE(rig.view.closed) << row.box;
    }
}

// A hard-linked source is refused by the wipe, from "Delete selected file" and from the
// job's "Delete source file" alike: the last box says so, with the reason as its detail.
TEST(MainWindowJobs, AWipeThatDidNotHappenSaysWhy)
{
    for (bool viaJob : {false, true}) {
        SCOPED_TRACE(viaJob ? "Delete source file" : "Delete selected file");
        WindowRig rig;
        const std::string source = rig.dir / "secret.txt";
        const Bytes data = lwtest::TextBytes(4000, 9);
        lwtest::WriteFile(source, data);
        std::filesystem::create_hard_link(source, rig.dir / "backup.txt");
        auto& window = rig.Open(source);
        rig.ask.script = lwtest::ScriptedAsk({lw::mbOK});
        if (viaJob) {
            rig.view.checked[TControl::shredbox] = true;
            rig.view.phrase = "phrase";
            rig.again.again = "phrase";
            window.Button1Click();
        } else {
            window.Button2Click();
        }
        rig.WaitForJob();
        EXPECT_TRUE(lwtest::ReadFile(source) == data);
        ASSERT_FALSE(rig.ask.script.boxes.empty());
        EXPECT_EQ(rig.ask.script.boxes.back(), (lwtest::Box{lw::TMsgDlgType::mtWarning, "File NOT deleted", lw::mbOK}));
        ASSERT_FALSE(rig.ask.script.details.empty());
        EXPECT_EQ(rig.ask.script.details.back(),
                  "\"secret.txt\" has 1 other name; the wipe would destroy their data too");
        if (viaJob) { // the result box before it says where the output went
            EXPECT_EQ(rig.ask.script.details.front(), source + ".fe2");
        }
    }
}

} // namespace
