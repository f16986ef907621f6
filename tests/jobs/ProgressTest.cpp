// Progress reports and stop requests through real jobs on real files: every phase climbs
// to its end exactly once, and a stop at any point leaves the folder and the source as
// they were (before the commit), the source whole (after it), or a wiped file holding
// whole passes.
#include <algorithm>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "JobRows.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"

using namespace lwtest;
namespace fsys = std::filesystem;
using lw::TJobPhase;

namespace {

constexpr int64_t kMiB = 1 << 20;

struct Report {
    TJobPhase phase;
    int64_t done;
    int64_t expected;
    int pass;
};

// Records every report; asks for the stop once the chosen phase (and pass) gets to threshold.
class RecordingProgress final : public lw::IJobProgress {
public:
    void Progress(TJobPhase phase, int64_t done, int64_t expected, int pass) override
    {
        reports.push_back({phase, done, expected, pass});
        if (stopPhase && *stopPhase == phase && (stopPass == 0 || stopPass == pass) && done >= threshold)
            stop.Request();
    }

    std::vector<Report> reports;
    lw::TStopRequest stop;
    std::optional<TJobPhase> stopPhase;
    int stopPass = 0;
    int64_t threshold = 0;
};

struct PhaseRun {
    TJobPhase phase;
    int pass;
    int64_t expected;
    bool ended; // reached done == expected
};

// Cuts the reports into phases and checks each: one expected size, done rising and never
// past it, and done == expected only as the last report.
std::vector<PhaseRun> Runs(const std::vector<Report>& reports)
{
    std::vector<PhaseRun> runs;
    int64_t last = -1;
    for (const Report& r : reports) {
        if (runs.empty() || runs.back().phase != r.phase || runs.back().pass != r.pass) {
            runs.push_back({r.phase, r.pass, r.expected, false});
            last = -1;
        }
        PhaseRun& run = runs.back();
        EXPECT_EQ(r.expected, run.expected) << "phase " << int(r.phase);
        EXPECT_GT(r.done, last) << "phase " << int(r.phase) << " went back or stood still";
        EXPECT_LE(r.done, r.expected);
        EXPECT_FALSE(run.ended) << "phase " << int(r.phase) << " reported after its end";
        EXPECT_EQ(r.pass != 0, r.phase == TJobPhase::Wiping);
        run.ended = r.done == r.expected;
        last = r.done;
    }
    return runs;
}

TJobPhase WorkPhase(const JobShape& c)
{
    if (c.encrypt)
        return c.compressed ? TJobPhase::Compressing : TJobPhase::Encrypting;
    return c.compressed ? TJobPhase::Decompressing : TJobPhase::Decrypting;
}

// A folder holding the job's source: the text itself, or its encryption for a decrypt.
struct JobFolder {
    TempDir dir{MemoryTempRoot()};
    Bytes plain;
    std::string source;
    Bytes sourceBytes;

    JobFolder(const JobShape& c, size_t size)
        : plain(TextBytes(size, 77)), source(dir / (c.encrypt      ? "data"
                                                    : c.compressed ? "data.fez"
                                                                   : "data.fe2")),
          sourceBytes(c.encrypt ? plain : EncryptedByAJob(plain, "phrase", 3, c.compressed))
    {
        WriteFile(source, sourceBytes);
    }

    lw::TJobOptions Options(const JobShape& c) const { return JobOptions(source, "phrase", 3, c.compressed); }
};

// A job run with its progress recorded and a stop asked for where the chosen phase (and
// pass) gets to threshold; no phase chosen, no stop.
struct Watched {
    ScriptedAsk ask;
    RecordingHandOff handOff;
    RecordingProgress progress;
    lw::TJobContext context{ask, handOff};
    bool returned = false;

    Watched(const JobShape& c, const lw::TJobOptions& options, std::deque<lw::TMsgDlgBtn> answers,
            std::optional<TJobPhase> stopPhase = {}, int64_t threshold = 0, int stopPass = 0)
        : ask(std::move(answers))
    {
        progress.stopPhase = stopPhase;
        progress.threshold = threshold;
        progress.stopPass = stopPass;
        context.Progress = &progress;
        context.Stop = &progress.stop;
        returned = c.encrypt ? lw::RunEncryptJob(options, context) : lw::RunDecryptJob(options, context);
    }
};

} // namespace

TEST(JobProgress, EveryPhaseEndsExactlyOnceAndNeverGoesBack)
{
    for (const JobShape& c : kJobShapes)
        for (size_t size : {size_t{0}, size_t{17}, kFewMiB})
            for (bool deleteSource : {false, true}) {
                SCOPED_TRACE(ShapeName(c) + " of " + std::to_string(size) + (deleteSource ? " wiping" : ""));
                JobFolder s(c, size);
                lw::TJobOptions options = s.Options(c);
                options.DeleteSource = deleteSource;
                const Watched job(c, options, {lw::mbOK});
                ASSERT_TRUE(job.returned);
                ASSERT_TRUE(job.context.FailureReason.empty()) << job.context.FailureReason;
                EXPECT_FALSE(job.context.Stopped);
                const std::vector<PhaseRun> runs = Runs(job.progress.reports);
                const Bytes encrypted =
                    c.encrypt ? ReadFile(s.source + (c.compressed ? ".fez" : ".fe2")) : s.sourceBytes;
                std::vector<std::tuple<TJobPhase, int, int64_t>> want;
                want.emplace_back(WorkPhase(c), 0, c.encrypt ? int64_t(size) : int64_t(s.sourceBytes.size()));
                if (deleteSource) {
                    want.emplace_back(TJobPhase::Verifying, 0, int64_t(encrypted.size()));
                    for (int pass = 1; pass <= 7; ++pass)
                        want.emplace_back(TJobPhase::Wiping, pass, int64_t(s.sourceBytes.size()));
                }
                std::vector<std::tuple<TJobPhase, int, int64_t>> got;
                for (const PhaseRun& run : runs) {
                    got.emplace_back(run.phase, run.pass, run.expected);
                    EXPECT_TRUE(run.ended) << "phase " << int(run.phase) << " pass " << run.pass;
                }
                EXPECT_EQ(got, want);
                if (HasFailure())
                    return;
            }
}

TEST(JobProgress, AStopBeforeTheCommitLeavesEverythingAsItWas)
{
    for (const JobShape& c : kJobShapes)
        for (int64_t threshold : {int64_t{0}, int64_t{1}, kMiB / 2, 2 * kMiB}) {
            SCOPED_TRACE(ShapeName(c) + ", stop at " + std::to_string(threshold));
            JobFolder s(c, kFewMiB);
            const auto before = Listing(s.dir.Path());
            lw::TJobOptions options = s.Options(c);
            options.DeleteSource = true;
            options.CopyToClipboard = true;
            const Watched job(c, options, {}, WorkPhase(c), threshold);
            ASSERT_TRUE(job.returned);
            EXPECT_TRUE(job.context.Stopped);
            EXPECT_EQ(job.context.FailureReason, "Stopped");
            EXPECT_TRUE(job.ask.boxes.empty()) << job.ask.boxes.front();
            EXPECT_TRUE(job.handOff.calls.empty());
            EXPECT_EQ(Listing(s.dir.Path()), before);
            EXPECT_TRUE(ReadFile(s.source) == s.sourceBytes);
            const std::vector<PhaseRun> runs = Runs(job.progress.reports);
            ASSERT_EQ(runs.size(), 1u);
            EXPECT_FALSE(runs[0].ended);
            // Stopped at the first look past the threshold, not at the end.
            EXPECT_LT(job.progress.reports.back().done, threshold + 2 * kMiB);
        }
}

TEST(JobProgress, AStopAfterTheCommitKeepsTheSource)
{
    for (const JobShape& c : kJobShapes) {
        SCOPED_TRACE(ShapeName(c));
        JobFolder s(c, kFewMiB);
        lw::TJobOptions options = s.Options(c);
        options.DeleteSource = true;
        options.CopyToClipboard = true;
        const Watched job(c, options, {}, TJobPhase::Verifying, kMiB);
        ASSERT_TRUE(job.returned);
        EXPECT_TRUE(job.context.Stopped);
        EXPECT_EQ(job.context.SourceKept, "stopped");
        EXPECT_TRUE(job.context.FailureReason.empty()) << job.context.FailureReason;
        // The output is whole and announced; the wipe is not even asked; no hand-off runs.
        ASSERT_EQ(job.ask.boxes.size(), 1u);
        EXPECT_EQ(job.ask.boxes[0].text, c.encrypt ? "File encrypted" : "File decrypted");
        EXPECT_TRUE(job.handOff.calls.empty());
        EXPECT_TRUE(ReadFile(s.source) == s.sourceBytes);
        if (!c.encrypt) {
            EXPECT_TRUE(ReadFile(s.dir / "data") == s.plain);
        }
        EXPECT_EQ(Listing(s.dir.Path()).size(), 2u);
    }
}

// What each pass leaves: zeros, ones, zeros, ... and noise last.
bool HoldsPass(const Bytes& content, int pass)
{
    if (pass == 7)
        return std::count(content.begin(), content.end(), 0) < int64_t(content.size() / 100) &&
               std::count(content.begin(), content.end(), 0xFF) < int64_t(content.size() / 100);
    const uint8_t fill = pass % 2 ? 0x00 : 0xFF;
    return std::all_of(content.begin(), content.end(), [fill](uint8_t b) { return b == fill; });
}

TEST(JobProgress, AStoppedWipeFinishesItsPassAndSaysWhatIsLeft)
{
    // pass 0: asked before the wipe began.
    for (int pass : {0, 1, 2, 5, 7}) {
        SCOPED_TRACE("stop in pass " + std::to_string(pass));
        TempDir dir(MemoryTempRoot());
        const std::string path = dir / "f.bin";
        const Bytes original = TextBytes(kFewMiB, 9);
        WriteFile(path, original);
        ScriptedAsk ask({lw::mbOK});
        RecordingProgress progress;
        if (pass == 0) {
            progress.stop.Request();
        } else {
            progress.stopPhase = TJobPhase::Wiping;
            progress.stopPass = pass;
            progress.threshold = kMiB;
        }
        std::string why;
        EXPECT_EQ(lw::WipeFile(nullptr, path, ask, &why, &progress, &progress.stop),
                  pass == 0 ? lw::TWipeEnd::Kept : lw::TWipeEnd::Overwritten);
        EXPECT_EQ(why,
                  pass == 0 ? "stopped" : "\"f.bin\" was overwritten but could not be deleted: the wipe was stopped");
        const Bytes now = ReadFile(path);
        ASSERT_EQ(now.size(), original.size());
        if (pass == 0)
            EXPECT_TRUE(now == original);
        else
            EXPECT_TRUE(HoldsPass(now, pass));
        const std::vector<PhaseRun> runs = Runs(progress.reports);
        ASSERT_EQ(runs.size(), size_t(pass));
        for (const PhaseRun& run : runs)
            EXPECT_TRUE(run.ended);
    }
}

TEST(JobProgress, AStopDuringTheSourceWipeSaysTheSourceWasOverwritten)
{
    const JobShape c{true, false};
    JobFolder s(c, kFewMiB);
    lw::TJobOptions options = s.Options(c);
    options.DeleteSource = true;
    const Watched job(c, options, {lw::mbOK}, TJobPhase::Wiping, kMiB, 2);
    ASSERT_TRUE(job.returned);
    EXPECT_TRUE(job.context.Stopped);
    EXPECT_EQ(job.context.SourceWipe, lw::TWipeEnd::Overwritten);
    EXPECT_EQ(job.context.SourceKept, "\"data\" was overwritten but could not be deleted: the wipe was stopped");
    const Bytes source = ReadFile(s.source);
    EXPECT_EQ(source.size(), s.plain.size());
    EXPECT_TRUE(HoldsPass(source, 2));
    // The output was proven before the wipe began: it decrypts to what the source held.
    fsys::remove(s.source);
    ASSERT_TRUE(EndsWithItsResult(false, JobOptions(s.dir / "data.fe2", "phrase", 3)));
    EXPECT_TRUE(ReadFile(s.source) == s.plain);
}
