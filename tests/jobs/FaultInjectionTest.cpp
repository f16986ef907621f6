// One fault at a time along whole jobs and wipes: the n-th call of one file operation
// fails, for every n a clean run reaches. Whatever fails, nothing the user had is lost
// or changed, no temporary file stays behind and the next run works. Jobs run with
// unnamed working files and with the named ones the test seam forces.
#ifdef _WIN32
#include <io.h>
#endif
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "JobRows.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"

using namespace lwtest;
using lw::fs::TFileOp;
namespace fsys = std::filesystem;

namespace {

constexpr size_t kSourceSize = 3 * 8192 + 123;
const char* kPhrase = "a phrase for faults";
const char* kWipeWarning = "You are about to wipe ";

struct OpError {
    TFileOp op;
    const char* name;
    int error;
};
constexpr OpError kOps[] = {
    {TFileOp::Open, "open", EACCES}, {TFileOp::Read, "read", EIO},     {TFileOp::Write, "write", ENOSPC},
    {TFileOp::Sync, "fsync", EIO},   {TFileOp::Rename, "rename", EIO}, {TFileOp::Unlink, "unlink", EBUSY},
    {TFileOp::Close, "close", EIO},  {TFileOp::Link, "link", EIO},     {TFileOp::Lock, "lock", ENOLCK}};

// Fails the n-th call of one operation only (a passing fault), or every call from the
// n-th on (a device gone bad); counts how often it struck.
FaultScope::Watch NthFault(OpError op, int nth, bool persistent, int& hits)
{
    return [=, &hits](TFileOp called, int seen) {
        if (called != op.op || (seen != nth && !(persistent && seen > nth)))
            return 0;
        ++hits;
        return op.error;
    };
}

#ifdef _WIN32
// The descriptors are the C runtime's over Win32 handles: count those in use. (Under Wine,
// /proc/self/fd would count the host process's descriptors, which others' calls move.)
size_t OpenDescriptors()
{
    size_t open = 0;
    for (int fd = 0; fd < 512; ++fd)
        if (_get_osfhandle(fd) != -1)
            ++open;
    return open;
}
#else
size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(fsys::directory_iterator("/proc/self/fd"), fsys::directory_iterator()));
}
#endif

struct Scenario {
    bool encrypt;
    bool compressed; // ".fez"
    bool deleteSource;
    bool earlierOutput;
    int cipher;
};

std::string Name(const Scenario& s)
{
    return std::string(s.encrypt ? "encrypt" : "decrypt") + (s.compressed ? " fez" : " fe2") +
           (s.deleteSource ? " delete-source" : "") + (s.earlierOutput ? " over-earlier" : "") + " cipher " +
           std::to_string(s.cipher);
}

// The job on name in folder, with the overwrite prompt answered Ignore and the wipe OK.
JobEnd RunScenario(const Scenario& s, const std::string& folder, const std::string& name)
{
    std::deque<lw::TMsgDlgBtn> answers;
    const std::string output = s.encrypt ? name + (s.compressed ? ".fez" : ".fe2") : name.substr(0, name.rfind('.'));
    if (fsys::exists(folder + "/" + output))
        answers.push_back(lw::mbIgnore);
    if (s.deleteSource)
        answers.push_back(lw::mbOK);
    lw::TJobOptions options = JobOptions(folder + "/" + name, kPhrase, s.cipher, s.compressed);
    options.DeleteSource = s.deleteSource;
    options.CopyToClipboard = true;
    const JobEnd end = RunJob(s.encrypt, options, answers);
    EXPECT_TRUE(end.returned);
    return end;
}

// The folder a scenario starts from, with the output a clean run must produce.
struct Arranged {
    std::string source;
    std::string output;
    Bytes sourceBytes;
    Bytes expectedOutput;
};

Arranged Arrange(const Scenario& s, const std::string& folder, const Bytes& plain, const Bytes& encrypted)
{
    const std::string packed = std::string("doc.txt") + (s.compressed ? ".fez" : ".fe2");
    Arranged a;
    a.source = s.encrypt ? "doc.txt" : packed;
    a.output = s.encrypt ? packed : "doc.txt";
    a.sourceBytes = s.encrypt ? plain : encrypted;
    a.expectedOutput = s.encrypt ? encrypted : plain;
    WriteFile(folder + "/" + a.source, a.sourceBytes);
    if (s.earlierOutput)
        WriteFile(folder + "/" + a.output, Bytes{'e', 'a', 'r', 'l', 'i', 'e', 'r'});
    return a;
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0;
}

// Checks one run that met a fault; true when the job failed.
bool CheckFaultedRun(const Scenario& s, const Arranged& a, const std::string& folder,
                     const std::map<std::string, Bytes>& before, const JobEnd& run)
{
    const lw::TMsgDlgType confirm = lw::TMsgDlgType::mtConfirmation;
    std::vector<Box> expected;
    if (s.earlierOutput) {
        EXPECT_FALSE(run.boxes.empty());
        if (!run.boxes.empty()) {
            EXPECT_EQ(run.boxes[0].kind, confirm);
            expected.push_back(run.boxes[0]);
        }
    }
    const bool failed = !run.boxes.empty() && run.boxes.back().text == "File IO error";
    if (failed) {
        // Nothing after the failure: no wipe, no hand-off, and the folder as it was.
        expected.push_back({lw::TMsgDlgType::mtError, "File IO error", lw::mbOK});
        EXPECT_EQ(run.boxes, expected);
        EXPECT_TRUE(run.handOffs.empty());
        EXPECT_FALSE(run.reason.empty());
        const auto after = Snapshot(folder);
        if (after != before && s.deleteSource && after.count(a.output)) {
            // Only the read-back before the wipe fails once the output is in place: the
            // output is complete and the source untouched.
            EXPECT_TRUE(after.at(a.output) == a.expectedOutput) << "output wrong";
            auto expectedAfter = before;
            expectedAfter[a.output] = a.expectedOutput;
            EXPECT_TRUE(after == expectedAfter) << "the source changed or a file was left behind";
        } else {
            EXPECT_TRUE(after == before) << "a file was created, changed or removed";
        }
        return true;
    }
    // A fault the job may pass over (the source's close, the folder sync, the wipe):
    // the output is complete and correct, and only a begun wipe touches the source.
    bool wipeBegan = false;
    for (const Box& box : run.boxes)
        wipeBegan = wipeBegan || StartsWith(box.text, kWipeWarning);
    EXPECT_EQ(wipeBegan, s.deleteSource);
    if (s.deleteSource)
        expected.push_back(run.boxes.size() >= 2 ? run.boxes[run.boxes.size() - 2] : Box{});
    expected.push_back({lw::TMsgDlgType::mtInformation, s.encrypt ? "File encrypted" : "File decrypted", lw::mbOK});
    EXPECT_EQ(run.boxes, expected) << run.reason;
    EXPECT_EQ(run.reason, "");
    const auto after = Snapshot(folder);
    EXPECT_TRUE(after.count(a.output) && after.at(a.output) == a.expectedOutput) << "output wrong";
    if (!s.deleteSource) {
        EXPECT_TRUE(after.count(a.source) && after.at(a.source) == a.sourceBytes) << "source changed";
    } else if (after.count(a.source)) {
        EXPECT_EQ(after.at(a.source).size(), a.sourceBytes.size()) << "a failed wipe changed the size";
    }
    for (const auto& [name, bytes] : after)
        EXPECT_TRUE(name == a.output || name == a.source) << "left behind: " << name;
    return false;
}

class JobFaults : public ::testing::TestWithParam<std::tuple<Scenario, bool, bool>> {};

std::vector<Scenario> AllScenarios()
{
    std::vector<Scenario> all;
    int cipher = 0;
    for (bool encrypt : {true, false})
        for (bool compressed : {false, true})
            for (bool deleteSource : {false, true})
                for (bool earlier : {false, true})
                    all.push_back({encrypt, compressed, deleteSource, earlier, cipher++ % 4});
    return all;
}

} // namespace

TEST_P(JobFaults, EveryNthFileOperationFailsWithoutLoss)
{
    const auto& [s, persistent, named] = GetParam();
    NamedWorkingFiles mode(named);
    const Bytes plain = TextBytes(kSourceSize, 77);
    const Bytes encrypted = EncryptedByAJob(plain, kPhrase, s.cipher, s.compressed);
    ASSERT_EQ(encrypted.size() == plain.size(), !s.compressed);
    for (const OpError& op : kOps) {
        int failures = 0;
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE(Name(s) + ": " + op.name + " " + std::to_string(nth) + (persistent ? " onwards" : ""));
            ASSERT_LT(nth, 1000) << "the job never stops reaching this operation";
            ScratchDir dir;
            const Arranged a = Arrange(s, dir.Path(), plain, encrypted);
            const auto before = Snapshot(dir.Path());
            const size_t descriptors = OpenDescriptors();
            JobEnd run;
            int hits = 0;
            {
                FaultScope fault(NthFault(op, nth, persistent, hits));
                run = RunScenario(s, dir.Path(), a.source);
            }
            EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
            if (hits == 0) {
                // The whole run passed this operation by: a clean, complete job.
                EXPECT_TRUE(CheckFaultedRun(s, a, dir.Path(), before, run) == false);
                break;
            }
            if (!CheckFaultedRun(s, a, dir.Path(), before, run))
                continue;
            ++failures;
            // The next run, without the fault, works from what the failure left.
            const JobEnd again = RunScenario(s, dir.Path(), a.source);
            ASSERT_EQ(again.reason, "");
            EXPECT_EQ(ReadFile(dir / a.output), a.expectedOutput);
            if (HasFailure())
                return;
        }
        // Every operation but unlink stands between the source and a finished output;
        // only unnamed working files are linked, and renamed only over an earlier file.
        const bool reached = op.op == TFileOp::Link ? !named : op.op != TFileOp::Rename || named || s.earlierOutput;
        if (op.op != TFileOp::Unlink && reached) {
            EXPECT_GT(failures, 0) << op.name << " never made the job fail";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, JobFaults,
                         ::testing::Combine(::testing::ValuesIn(AllScenarios()), ::testing::Bool(), ::testing::Bool()),
                         [](const auto& entry) {
                             return TestName(Name(std::get<0>(entry.param)) +
                                             (std::get<1>(entry.param) ? " persistent" : " passing") +
                                             (std::get<2>(entry.param) ? " named" : " unnamed"));
                         });

TEST(WipeFaults, EveryNthFileOperationFailsKeepsTheNameAndSaysWhatIsLeft)
{
    for (bool persistent : {false, true})
        for (const OpError& op : kOps) {
            int failures = 0;
            for (int nth = 1;; ++nth) {
                SCOPED_TRACE(std::string(op.name) + " " + std::to_string(nth) + (persistent ? " onwards" : ""));
                ASSERT_LT(nth, 1000);
                ScratchDir dir;
                const std::string path = dir / "secret.bin";
                const Bytes content = TextBytes(kSourceSize, 5);
                WriteFile(path, content);
                const size_t descriptors = OpenDescriptors();
                WipeRun run;
                int hits = 0;
                {
                    FaultScope fault(NthFault(op, nth, persistent, hits));
                    run = Wipe(path);
                }
                EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
                ASSERT_EQ(run.boxes, 1u);
                if (hits == 0) {
                    EXPECT_TRUE(run.Deleted());
                    EXPECT_TRUE(fsys::is_empty(dir.Path()));
                    break;
                }
                // Only the file's own name may remain, at its size; untouched when it never opened.
                EXPECT_FALSE(run.Deleted());
                EXPECT_EQ(Snapshot(dir.Path()).size(), 1u);
                ++failures;
                ASSERT_TRUE(fsys::exists(path));
                EXPECT_EQ(fsys::file_size(path), content.size());
                // Never "kept" once a byte of the content is gone.
                const bool intact = ReadFile(path) == content;
                if (op.op == TFileOp::Open || run.end == lw::TWipeEnd::Kept) {
                    EXPECT_TRUE(intact) << run.reason;
                }
                if (!intact) {
                    EXPECT_EQ(run.end, lw::TWipeEnd::Overwritten);
                    EXPECT_TRUE(run.reason.starts_with("\"secret.bin\" was overwritten but could not be deleted: "))
                        << run.reason;
                }
                EXPECT_TRUE(Wipe(path).Deleted());
                EXPECT_FALSE(fsys::exists(path));
                if (HasFailure())
                    return;
            }
            if (op.op != TFileOp::Read && op.op != TFileOp::Rename && op.op != TFileOp::Link) {
                EXPECT_GT(failures, 0) << op.name << " never made the wipe fail";
            }
        }
}
