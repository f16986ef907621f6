#include <filesystem>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"

using namespace lwtest;
using lw::TMsgDlgType;
using lw::fs::TFileOp;
namespace fsys = std::filesystem;

namespace {

// Boxes and hand-off calls are written symbolically in the table:
// "prompt", "saved", "wipe source", "delete now" (the question after mailing),
// "wipe output", "result", "error";
// "clipboard", "events", "open", "mail".
struct Flow {
    std::string name;
    bool encrypt;
    bool earlierOutput;
    std::deque<lw::TMsgDlgBtn> answers;
    void (*options)(lw::TJobOptions&);
    std::vector<std::string> boxes;
    std::vector<std::string> calls;
    bool returns = true;
    bool sourceLeft = true;
    bool outputLeft = true;
    bool mailResult = true;
    std::string clipboardError = {};
    int opens = -1; // file opens during the job, when it tells something
};

std::ostream& operator<<(std::ostream& out, const Flow& f)
{
    return out << f.name;
}

void None(lw::TJobOptions&)
{}
void DeleteSource(lw::TJobOptions& o)
{
    o.DeleteSource = true;
}
void Mail(lw::TJobOptions& o)
{
    o.SendByMail = true;
}
void MailAndDelete(lw::TJobOptions& o)
{
    o.SendByMail = o.DeleteAfterMail = true;
}
void AllHandOffs(lw::TJobOptions& o)
{
    o.CopyToClipboard = o.RunOutput = o.SendByMail = true;
}
void Everything(lw::TJobOptions& o)
{
    o.DeleteSource = o.CopyToClipboard = o.RunOutput = o.SendByMail = o.DeleteAfterMail = true;
}

const std::vector<Flow> kFlows = {
    {"encrypt, overwrite Yes", true, true, {lw::mbYes}, None, {"prompt", "saved", "result"}, {}},
    {"encrypt, overwrite No", true, true, {lw::mbNo}, None, {"prompt"}, {}, false},
    {"encrypt, overwrite Ignore", true, true, {lw::mbIgnore}, None, {"prompt", "result"}, {}},
    {"decrypt, overwrite Yes", false, true, {lw::mbYes}, None, {"prompt", "saved", "result"}, {}},
    {"decrypt, overwrite No", false, true, {lw::mbNo}, Everything, {"prompt"}, {}, false},
    {"decrypt, overwrite Ignore", false, true, {lw::mbIgnore}, None, {"prompt", "result"}, {}},
    // Opens of the source, the output, the output's folder (synced after the rename) and
    // the output once more, read back before the question. Both jobs hand their open
    // source over to the wipe: no fifth open.
    {"encrypt, delete source accepted",
     true,
     false,
     {lw::mbOK},
     DeleteSource,
     {"wipe source", "result"},
     {},
     true,
     false,
     true,
     true,
     {},
     4},
    {"encrypt, delete source declined",
     true,
     false,
     {lw::mbCancel},
     DeleteSource,
     {"wipe source", "result"},
     {},
     true,
     true,
     true,
     true,
     {},
     4},
    {"decrypt, delete source accepted",
     false,
     false,
     {lw::mbOK},
     DeleteSource,
     {"wipe source", "result"},
     {},
     true,
     false,
     true,
     true,
     {},
     4},
    {"decrypt, delete source declined",
     false,
     false,
     {lw::mbCancel},
     DeleteSource,
     {"wipe source", "result"},
     {},
     true,
     true,
     true,
     true,
     {},
     4},
    {"encrypt, mail without delete, no question", true, false, {}, Mail, {"result"}, {"mail"}},
    {"decrypt, mail without delete, no question", false, false, {}, Mail, {"result"}, {"mail"}},
    // The mail program may read the file only when the message goes: the user is asked first.
    {"encrypt, mail then delete Yes",
     true,
     false,
     {lw::mbYes, lw::mbOK},
     MailAndDelete,
     {"result", "delete now", "wipe output"},
     {"mail"},
     true,
     true,
     false},
    {"decrypt, mail then delete Yes",
     false,
     false,
     {lw::mbYes, lw::mbOK},
     MailAndDelete,
     {"result", "delete now", "wipe output"},
     {"mail"},
     true,
     true,
     false},
    {"encrypt, mail then delete No", true, false, {lw::mbNo}, MailAndDelete, {"result", "delete now"}, {"mail"}},
    {"decrypt, mail then delete No", false, false, {lw::mbNo}, MailAndDelete, {"result", "delete now"}, {"mail"}},
    {"decrypt, mail then delete box closed",
     false,
     false,
     {lw::mbCancel},
     MailAndDelete,
     {"result", "delete now"},
     {"mail"}},
    {"decrypt, mail then delete Yes, wipe declined",
     false,
     false,
     {lw::mbYes, lw::mbCancel},
     MailAndDelete,
     {"result", "delete now", "wipe output"},
     {"mail"}},
    {"encrypt, mail fails, no question", true, false, {}, MailAndDelete, {"result"}, {"mail"}, true, true, true, false},
    {"decrypt, mail fails, no question",
     false,
     false,
     {},
     MailAndDelete,
     {"result"},
     {"mail"},
     true,
     true,
     true,
     false},
    {"decrypt, mail fails", false, false, {}, Mail, {"result"}, {"mail"}, true, true, true, false},
    {"encrypt, hand-offs in order, no open", true, false, {}, AllHandOffs, {"result"}, {"clipboard", "events", "mail"}},
    {"decrypt, hand-offs in order", false, false, {}, AllHandOffs, {"result"}, {"clipboard", "events", "open", "mail"}},
    {"decrypt, everything",
     false,
     false,
     {lw::mbOK, lw::mbYes, lw::mbOK},
     Everything,
     {"wipe source", "result", "delete now", "wipe output"},
     {"clipboard", "events", "open", "mail"},
     true,
     false,
     false},
    {"encrypt, everything, output kept",
     true,
     false,
     {lw::mbOK, lw::mbNo},
     Everything,
     {"wipe source", "result", "delete now"},
     {"clipboard", "events", "mail"},
     true,
     false,
     true},
    {"encrypt, clipboard fails",
     true,
     false,
     {},
     AllHandOffs,
     {"result", "error"},
     {"clipboard"},
     true,
     true,
     true,
     true,
     "Cannot open clipboard"},
    {"decrypt, clipboard fails",
     false,
     false,
     {lw::mbOK},
     Everything,
     {"wipe source", "result", "error"},
     {"clipboard"},
     true,
     false,
     true,
     true,
     "Could not allocate memory."},
};

class BoxSequence : public ::testing::TestWithParam<Flow> {};

} // namespace

TEST_P(BoxSequence, BoxesAndHandOffsComeInTheirOrder)
{
    const Flow& f = GetParam();
    TempDir dir;
    const Bytes data = TextBytes(20000, 77);
    WriteFile(dir / "s.txt", data);
    lw::TJobOptions options;
    options.KeyPhrase = "phrase";
    options.CipherIndex = 0;
    Bytes sealed; // what the encrypt job writes for this source
    {
        ScriptedAsk ask;
        RecordingHandOff handOff;
        lw::TJobContext context{ask, handOff};
        options.SourcePath = dir / "s.txt";
        lw::RunEncryptJob(options, context);
        sealed = ReadFile(dir / "s.txt.fe2");
        fsys::remove(dir / (f.encrypt ? "s.txt.fe2" : "s.txt"));
    }
    const std::string source = dir / (f.encrypt ? "s.txt" : "s.txt.fe2");
    const std::string output = dir / (f.encrypt ? "s.txt.fe2" : "s.txt");
    const std::string numbered = dir / (f.encrypt ? "s.txt1.fe2" : "s1.txt");
    const Bytes earlier{'o', 'l', 'd'};
    if (f.earlierOutput)
        WriteFile(output, earlier);
    const Bytes sourceBytes = ReadFile(source);
    options.SourcePath = source;
    f.options(options);

    ScriptedAsk ask(f.answers);
    RecordingHandOff handOff;
    handOff.mailResult = f.mailResult;
    handOff.clipboardError = f.clipboardError;
    lw::TJobContext context{ask, handOff};
    bool returned = false;
    int opens = 0;
    {
        FaultScope faults;
        returned = f.encrypt ? lw::RunEncryptJob(options, context) : lw::RunDecryptJob(options, context);
        opens = faults.Count(TFileOp::Open);
    }

    const bool renamed = f.answers.size() && f.answers.front() == lw::mbYes && f.earlierOutput;
    const std::string finalOutput = renamed ? numbered : output;
    std::vector<Box> expectedBoxes;
    for (const std::string& b : f.boxes) {
        if (b == "prompt")
            expectedBoxes.push_back(
                {TMsgDlgType::mtConfirmation,
                 f.encrypt
                     ? "This action will result in overwritinge an existing file! \r\nYES to create a new name, NO "
                       "to EXIT without encrypting.\r\nIGNORE to continue and overwrite"
                     : "This action will result in overwritinge an existing file!  \r\nYES to create a new name, "
                       "NO to EXIT without decrypting.\r\nIGNORE to continue and overwrite file",
                 lw::mbYes | lw::mbNo | lw::mbIgnore});
        else if (b == "saved")
            expectedBoxes.push_back({TMsgDlgType::mtConfirmation, "File saved as:" + numbered, lw::mbOK});
        else if (b == "wipe source" || b == "wipe output") {
            const std::string shown =
                expectedBoxes.size() < ask.boxes.size() ? ask.boxes[expectedBoxes.size()].text : "";
            const std::string question = "You are about to wipe " +
                                         fsys::path(b == "wipe source" ? source : finalOutput).filename().string() +
                                         "\r\nand make it unrecoverable.Continue?";
            EXPECT_TRUE(shown.starts_with(question)) << shown;
            expectedBoxes.push_back({TMsgDlgType::mtWarning,
                                     WipeQuestion(b == "wipe source" ? source : finalOutput, Warned(shown)),
                                     lw::mbOK | lw::mbCancel});
        } else if (b == "delete now")
            expectedBoxes.push_back({TMsgDlgType::mtConfirmation,
                                     "The mail program may read \"" + fsys::path(finalOutput).filename().string() +
                                         "\" only when the message is sent. Delete it now?",
                                     lw::mbYes | lw::mbNo});
        else if (b == "result")
            expectedBoxes.push_back(
                {TMsgDlgType::mtInformation, f.encrypt ? "File encrypted" : "File decrypted", lw::mbOK});
        else
            expectedBoxes.push_back({TMsgDlgType::mtError, "File IO error", lw::mbOK});
    }
    std::vector<std::string> expectedCalls;
    for (const std::string& c : f.calls)
        expectedCalls.push_back(c == "events" ? c : c + ":" + finalOutput);

    EXPECT_EQ(returned, f.returns);
    EXPECT_EQ(ask.boxes, expectedBoxes);
    EXPECT_TRUE(ask.ScriptUsedUp());
    EXPECT_EQ(handOff.calls, expectedCalls);
    EXPECT_EQ(context.FailureReason, f.clipboardError);
    EXPECT_EQ(fsys::exists(source), f.sourceLeft);
    if (f.sourceLeft) {
        EXPECT_EQ(ReadFile(source), sourceBytes);
    }
    if (f.earlierOutput && (renamed || !f.returns)) {
        EXPECT_EQ(ReadFile(output), earlier);
    }
    if (!f.returns) {
        EXPECT_EQ(std::distance(fsys::directory_iterator(dir.Path()), fsys::directory_iterator()), 2);
        EXPECT_EQ(opens, 0) << "an abandoned job opened a file";
        return;
    }
    EXPECT_EQ(fsys::exists(finalOutput), f.outputLeft);
    if (f.outputLeft) {
        EXPECT_TRUE(ReadFile(finalOutput) == (f.encrypt ? sealed : data)) << "the output changed";
    }
    if (f.opens >= 0) {
#ifdef _WIN32
        // Windows has no folder to open for a sync after the commit.
        EXPECT_EQ(opens, f.opens - (f.outputLeft ? 1 : 0));
#else
        EXPECT_EQ(opens, f.opens);
#endif
    }
    const auto deleteNow = std::find(f.boxes.begin(), f.boxes.end(), "delete now");
    if (deleteNow != f.boxes.end()) { // the wait after a successful mail comes before the question
        EXPECT_GE(ask.times[deleteNow - f.boxes.begin()] - handOff.mailTime, std::chrono::milliseconds(100));
    }
}

// The question names the file alone, blanks and quotes as they are, without its folder.
TEST(DeleteAfterMail, QuestionNamesTheOutputExactly)
{
#ifdef _WIN32
    GTEST_SKIP() << "a Windows file name cannot hold the double quotes this question must show as they are";
#endif
    TempDir dir;
    const std::string folder = dir / "mail \"out\" dir";
    fsys::create_directory(folder);
    const std::string source = dir / "my \"best\" notes.txt";
    WriteFile(source, TextBytes(3000, 5));
    lw::TJobOptions options;
    options.SourcePath = source;
    options.KeyPhrase = "phrase";
    options.CipherIndex = 3;
    options.DestinationFolder = folder;
    options.SendByMail = options.DeleteAfterMail = true;
    ScriptedAsk ask({lw::mbNo});
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    EXPECT_TRUE(lw::RunEncryptJob(options, context));
    const std::vector<Box> expected = {
        {TMsgDlgType::mtInformation, "File encrypted", lw::mbOK},
        {TMsgDlgType::mtConfirmation,
         "The mail program may read \"my \"best\" notes.txt.fe2\" only when the message is sent. Delete it now?",
         lw::mbYes | lw::mbNo},
    };
    EXPECT_EQ(ask.boxes, expected);
    EXPECT_EQ(ReadFile(folder + "/my \"best\" notes.txt.fe2").size(), 3000u);
}

INSTANTIATE_TEST_SUITE_P(Jobs, BoxSequence, ::testing::ValuesIn(kFlows), [](const auto& entry) {
    std::string name = entry.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
});
