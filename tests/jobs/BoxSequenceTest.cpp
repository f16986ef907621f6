#include <filesystem>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"

using namespace lwtest;
using lw::fs::TFileOp;
using lw::TMsgDlgType;
namespace fsys = std::filesystem;

namespace {

// Boxes and hand-off calls are written symbolically in the table:
// "prompt", "saved", "wipe source", "wipe output", "result", "error";
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

std::ostream& operator<<(std::ostream& out, const Flow& f) { return out << f.name; }

void None(lw::TJobOptions&) {}
void DeleteSource(lw::TJobOptions& o) { o.DeleteSource = true; }
void Mail(lw::TJobOptions& o) { o.SendByMail = true; }
void MailAndDelete(lw::TJobOptions& o) { o.SendByMail = o.DeleteAfterMail = true; }
void AllHandOffs(lw::TJobOptions& o) { o.CopyToClipboard = o.RunOutput = o.SendByMail = true; }
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
    // Opens of the source, the output and the output's folder (synced after the rename).
    // The encrypt job hands its open source over: no fourth open.
    {"encrypt, delete source accepted", true, false, {lw::mbOK}, DeleteSource, {"wipe source", "result"}, {},
     true, false, true, true, {}, 3},
    {"encrypt, delete source declined", true, false, {lw::mbCancel}, DeleteSource, {"wipe source", "result"}, {},
     true, true, true, true, {}, 3},
    // The decrypt job names the path: the wipe opens the source itself.
    {"decrypt, delete source accepted", false, false, {lw::mbOK}, DeleteSource, {"wipe source", "result"}, {},
     true, false, true, true, {}, 4},
    {"decrypt, delete source declined", false, false, {lw::mbCancel}, DeleteSource, {"wipe source", "result"}, {},
     true, true, true, true, {}, 3},
    {"encrypt, mail", true, false, {}, Mail, {"result"}, {"mail"}},
    {"encrypt, mail then delete", true, false, {lw::mbOK}, MailAndDelete, {"result", "wipe output"}, {"mail"},
     true, true, false},
    {"decrypt, mail then delete declined", false, false, {lw::mbCancel}, MailAndDelete, {"result", "wipe output"},
     {"mail"}},
    {"encrypt, mail fails, no delete", true, false, {}, MailAndDelete, {"result"}, {"mail"}, true, true, true, false},
    {"decrypt, mail fails", false, false, {}, Mail, {"result"}, {"mail"}, true, true, true, false},
    {"encrypt, hand-offs in order, no open", true, false, {}, AllHandOffs, {"result"}, {"clipboard", "events", "mail"}},
    {"decrypt, hand-offs in order", false, false, {}, AllHandOffs, {"result"},
     {"clipboard", "events", "open", "mail"}},
    {"decrypt, everything", false, false, {lw::mbOK, lw::mbOK}, Everything,
     {"wipe source", "result", "wipe output"}, {"clipboard", "events", "open", "mail"}, true, false, false},
    {"encrypt, clipboard fails", true, false, {}, AllHandOffs, {"result", "error"}, {"clipboard"}, true, true, true,
     true, "Cannot open clipboard"},
    {"decrypt, clipboard fails", false, false, {lw::mbOK}, Everything, {"wipe source", "result", "error"},
     {"clipboard"}, true, false, true, true, "Could not allocate memory."},
};

class BoxSequence : public ::testing::TestWithParam<Flow> {};

} // namespace

TEST_P(BoxSequence, BoxesAndHandOffsComeInTheirOrder)
{
    const Flow& f = GetParam();
    TempDir dir;
    const Bytes data = RandomBytes(20000, 77);
    WriteFile(dir / "s.txt", data);
    lw::TJobOptions options;
    options.KeyPhrase = "phrase";
    options.CipherIndex = 0;
    if (!f.encrypt) {
        ScriptedAsk ask;
        RecordingHandOff handOff;
        lw::TJobContext context{ask, handOff};
        options.SourcePath = dir / "s.txt";
        lw::RunEncryptJob(options, context);
        fsys::remove(dir / "s.txt");
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
                 f.encrypt ? "This action will result in overwritinge an existing file! \r\nYES to create a new name, NO "
                             "to EXIT without encrypting.\r\nIGNORE to continue and overwrite"
                           : "This action will result in overwritinge an existing file!  \r\nYES to create a new name, "
                             "NO to EXIT without decrypting.\r\nIGNORE to continue and overwrite file",
                 lw::mbYes | lw::mbNo | lw::mbIgnore});
        else if (b == "saved")
            expectedBoxes.push_back({TMsgDlgType::mtConfirmation, "File saved as:" + numbered, lw::mbOK});
        else if (b == "wipe source" || b == "wipe output")
            expectedBoxes.push_back({TMsgDlgType::mtWarning,
                                     "You are about to wipe " +
                                         fsys::path(b == "wipe source" ? source : finalOutput).filename().string() +
                                         "\r\nand make it unrecoverable.Continue?",
                                     lw::mbOK | lw::mbCancel});
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
    if (f.outputLeft && !f.encrypt) {
        EXPECT_TRUE(ReadFile(finalOutput) == data);
    }
    if (f.outputLeft && f.encrypt) {
        EXPECT_EQ(ReadFile(finalOutput).size(), data.size());
    }
    if (f.opens >= 0) {
        EXPECT_EQ(opens, f.opens);
    }
    const auto wipeOutput = std::find(f.boxes.begin(), f.boxes.end(), "wipe output");
    if (wipeOutput != f.boxes.end()) { // the wait after a successful mail comes before the wipe
        EXPECT_GE(ask.times[wipeOutput - f.boxes.begin()] - handOff.mailTime, std::chrono::milliseconds(100));
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, BoxSequence, ::testing::ValuesIn(kFlows), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
});
