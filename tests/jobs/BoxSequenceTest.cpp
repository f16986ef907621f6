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
// What sets a flow apart beyond its boxes and calls; none: the source and the output
// stay and the mail goes.
enum Mark { kEarlier = 1, kAbandoned = 2, kNoSource = 4, kNoOutput = 8, kMailFails = 16 };

// A table cell of names: "result, delete now".
struct Names : std::vector<std::string> {
    Names() = default;
    Names(const char* list)
    {
        for (std::string rest = list; !rest.empty();) {
            const size_t end = rest.find(", ");
            push_back(rest.substr(0, end));
            rest = end == std::string::npos ? "" : rest.substr(end + 2);
        }
    }
};

struct Flow {
    std::string name;
    bool encrypt;
    std::deque<lw::TMsgDlgBtn> answers;
    void (*options)(lw::TJobOptions&);
    Names boxes;
    Names calls;
    int marks = 0;  // kEarlier: an earlier file sits at the output path
    int opens = -1; // file opens during the job, when it tells something
    std::string clipboardError = {};

    bool Has(Mark mark) const { return marks & mark; }
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

using lw::mbCancel, lw::mbIgnore, lw::mbNo, lw::mbOK, lw::mbYes;

const std::vector<Flow> kFlows = {
    {"encrypt, overwrite Yes", true, {mbYes}, None, "prompt, saved, result", {}, kEarlier},
    {"encrypt, overwrite No", true, {mbNo}, None, "prompt", {}, kEarlier | kAbandoned},
    {"encrypt, overwrite Ignore", true, {mbIgnore}, None, "prompt, result", {}, kEarlier},
    {"decrypt, overwrite Yes", false, {mbYes}, None, "prompt, saved, result", {}, kEarlier},
    {"decrypt, overwrite No", false, {mbNo}, Everything, "prompt", {}, kEarlier | kAbandoned},
    {"decrypt, overwrite Ignore", false, {mbIgnore}, None, "prompt, result", {}, kEarlier},
    // Opens of the source, the output, the output's folder (synced after the rename) and
    // the output once more, read back before the question. Both jobs hand their open
    // source over to the wipe: no fifth open.
    {"encrypt, delete source accepted", true, {mbOK}, DeleteSource, "wipe source, result", {}, kNoSource, 4},
    {"encrypt, delete source declined", true, {mbCancel}, DeleteSource, "wipe source, result", {}, 0, 4},
    {"decrypt, delete source accepted", false, {mbOK}, DeleteSource, "wipe source, result", {}, kNoSource, 4},
    {"decrypt, delete source declined", false, {mbCancel}, DeleteSource, "wipe source, result", {}, 0, 4},
    {"encrypt, mail without delete, no question", true, {}, Mail, "result", "mail"},
    {"decrypt, mail without delete, no question", false, {}, Mail, "result", "mail"},
    // The mail program may read the file only when the message goes: the user is asked first.
    {"encrypt, mail then delete Yes",
     true,
     {mbYes, mbOK},
     MailAndDelete,
     "result, delete now, wipe output",
     "mail",
     kNoOutput},
    {"decrypt, mail then delete Yes",
     false,
     {mbYes, mbOK},
     MailAndDelete,
     "result, delete now, wipe output",
     "mail",
     kNoOutput},
    {"encrypt, mail then delete No", true, {mbNo}, MailAndDelete, "result, delete now", "mail"},
    {"decrypt, mail then delete No", false, {mbNo}, MailAndDelete, "result, delete now", "mail"},
    {"decrypt, mail then delete box closed", false, {mbCancel}, MailAndDelete, "result, delete now", "mail"},
    {"decrypt, mail then delete Yes, wipe declined",
     false,
     {mbYes, mbCancel},
     MailAndDelete,
     "result, delete now, wipe output",
     "mail"},
    {"encrypt, mail fails, no question", true, {}, MailAndDelete, "result", "mail", kMailFails},
    {"decrypt, mail fails, no question", false, {}, MailAndDelete, "result", "mail", kMailFails},
    {"decrypt, mail fails", false, {}, Mail, "result", "mail", kMailFails},
    {"encrypt, hand-offs in order, no open", true, {}, AllHandOffs, "result", "clipboard, events, mail"},
    {"decrypt, hand-offs in order", false, {}, AllHandOffs, "result", "clipboard, events, open, mail"},
    {"decrypt, everything",
     false,
     {mbOK, mbYes, mbOK},
     Everything,
     "wipe source, result, delete now, wipe output",
     "clipboard, events, open, mail",
     kNoSource | kNoOutput},
    {"encrypt, everything, output kept",
     true,
     {mbOK, mbNo},
     Everything,
     "wipe source, result, delete now",
     "clipboard, events, mail",
     kNoSource},
    {"encrypt, clipboard fails", true, {}, AllHandOffs, "result, error", "clipboard", 0, -1, "Cannot open clipboard"},
    {"decrypt, clipboard fails",
     false,
     {mbOK},
     Everything,
     "wipe source, result, error",
     "clipboard",
     kNoSource,
     -1,
     "Could not allocate memory."},
};

class BoxSequence : public ::testing::TestWithParam<Flow> {};

} // namespace

TEST_P(BoxSequence, BoxesAndHandOffsComeInTheirOrder)
{
    const Flow& f = GetParam();
    TempDir dir;
    const Bytes data = TextBytes(20000, 77);
    const Bytes sealed = EncryptedByAJob(data, "phrase", 0, false);
    const std::string source = dir / (f.encrypt ? "s.txt" : "s.txt.fe2");
    const std::string output = dir / (f.encrypt ? "s.txt.fe2" : "s.txt");
    const std::string numbered = dir / (f.encrypt ? "s.txt1.fe2" : "s1.txt");
    const Bytes sourceBytes = f.encrypt ? data : sealed;
    WriteFile(source, sourceBytes);
    const Bytes earlier{'o', 'l', 'd'};
    if (f.Has(kEarlier))
        WriteFile(output, earlier);
    lw::TJobOptions options = JobOptions(source, "phrase", 0);
    f.options(options);

    ScriptedAsk ask(f.answers);
    RecordingHandOff handOff;
    handOff.mailResult = !f.Has(kMailFails);
    handOff.clipboardError = f.clipboardError;
    lw::TJobContext context{ask, handOff};
    bool returned = false;
    int opens = 0;
    {
        FaultScope faults;
        returned = f.encrypt ? lw::RunEncryptJob(options, context) : lw::RunDecryptJob(options, context);
        opens = faults.Count(TFileOp::Open);
    }

    const bool renamed = f.answers.size() && f.answers.front() == lw::mbYes && f.Has(kEarlier);
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

    EXPECT_EQ(returned, !f.Has(kAbandoned));
    EXPECT_EQ(ask.boxes, expectedBoxes);
    EXPECT_TRUE(ask.ScriptUsedUp());
    EXPECT_EQ(handOff.calls, expectedCalls);
    EXPECT_EQ(context.FailureReason, f.clipboardError);
    EXPECT_EQ(fsys::exists(source), !f.Has(kNoSource));
    if (!f.Has(kNoSource)) {
        EXPECT_EQ(ReadFile(source), sourceBytes);
    }
    if (f.Has(kEarlier) && (renamed || f.Has(kAbandoned))) {
        EXPECT_EQ(ReadFile(output), earlier);
    }
    if (f.Has(kAbandoned)) {
        EXPECT_EQ(std::distance(fsys::directory_iterator(dir.Path()), fsys::directory_iterator()), 2);
        EXPECT_EQ(opens, 0) << "an abandoned job opened a file";
        return;
    }
    EXPECT_EQ(fsys::exists(finalOutput), !f.Has(kNoOutput));
    if (!f.Has(kNoOutput)) {
        EXPECT_TRUE(ReadFile(finalOutput) == (f.encrypt ? sealed : data)) << "the output changed";
    }
    if (f.opens >= 0) {
#ifdef _WIN32
        // Windows has no folder to open for a sync after the commit.
        EXPECT_EQ(opens, f.opens - (f.Has(kNoOutput) ? 0 : 1));
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
    lw::TJobOptions options = JobOptions(source, "phrase", 3);
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

INSTANTIATE_TEST_SUITE_P(Jobs, BoxSequence, ::testing::ValuesIn(kFlows), RowName());
