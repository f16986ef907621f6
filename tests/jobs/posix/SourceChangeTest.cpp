// Files that change under a running job, made to change at a chosen moment by acting
// from the file-system hook: a stranger at the output path just before the commit, the
// source changed while it is read or after the commit, the committed output changed
// before it is read back, a source another job is wiping. The job must fail without
// putting anything of its own in place over a stranger, and without wiping a source
// that no longer holds what was read or whose output does not read back as it.
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "../JobDoubles.h"
#include "../JobRows.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"

using namespace lwtest;
using lw::fs::TFileOp;
namespace fsys = std::filesystem;

namespace {

// More than one read piece and more than one bzip2 block.
constexpr size_t kSize = 600000 + 7;
const char* kPhrase = "it moved";
constexpr int kCipher = 2;

// A watch that acts once, just before the first call of one of `at` that follows a call of
// one of `after` (any call of `at` when after is empty); the call itself then goes ahead.
FaultScope::Watch ActAt(std::set<TFileOp> at, std::set<TFileOp> after, std::function<void()> act, bool& acted)
{
    return [=, &acted, armed = after.empty()](TFileOp op, int) mutable {
        if (!acted && armed && at.count(op)) {
            acted = true;
            act();
        } else if (after.count(op)) {
            armed = true;
        }
        return 0;
    };
}

const std::set<TFileOp> kCommit = {TFileOp::Link, TFileOp::Rename};

JobEnd RunShaped(const JobShape& s, const std::string& source, bool deleteSource,
                 std::deque<lw::TMsgDlgBtn> answers = {})
{
    lw::TJobOptions options = JobOptions(source, kPhrase, kCipher, s.compressed);
    options.DeleteSource = deleteSource;
    JobEnd end = RunJob(s.encrypt, options, std::move(answers));
    EXPECT_TRUE(end.answered);
    return end;
}

const Bytes& Plain()
{
    static const Bytes plain = TextBytes(kSize, 71);
    return plain;
}

// What a clean encrypt job makes of the plain text in either format.
const Bytes& Encrypted(bool compressed)
{
    static const Bytes made[] = {EncryptedByAJob(Plain(), kPhrase, kCipher, false),
                                 EncryptedByAJob(Plain(), kPhrase, kCipher, true)};
    return made[compressed];
}

// A folder holding the job's source; the output the job must make of it.
struct Arranged {
    ScratchDir dir;
    std::string source, output;
    Bytes sourceBytes, outputBytes;

    explicit Arranged(const JobShape& s)
    {
        const std::string packed = dir / (s.compressed ? "doc.txt.fez" : "doc.txt.fe2");
        source = s.encrypt ? dir / "doc.txt" : packed;
        output = s.encrypt ? packed : dir / "doc.txt";
        sourceBytes = s.encrypt ? Plain() : Encrypted(s.compressed);
        outputBytes = s.encrypt ? Encrypted(s.compressed) : Plain();
        WriteFile(source, sourceBytes);
        AfterTheClockTick(source);
    }
    // File times come from a coarse clock: a change in the same tick as the writing
    // would leave the change time as it was.
    static void AfterTheClockTick(const std::string& path)
    {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        timespec now{};
        do
            ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        while (now.tv_sec < st.st_ctim.tv_sec ||
               (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec <= st.st_ctim.tv_nsec));
    }
};

const Box kFailed = {lw::TMsgDlgType::mtError, "File IO error", lw::mbOK};

// The ways a file can change; each returns what the path holds afterwards.
enum class Change { Append, Truncate, RewriteKeepingSizeAndTime, ReplaceByRename };
const char* Name(Change c)
{
    return c == Change::Append                      ? "append"
           : c == Change::Truncate                  ? "truncate"
           : c == Change::RewriteKeepingSizeAndTime ? "rewrite in place"
                                                    : "replace";
}

Bytes Apply(Change c, const std::string& path)
{
    Bytes now = ReadFile(path);
    switch (c) {
    case Change::Append: {
        const std::string line = "one more line\n";
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        EXPECT_EQ(::write(fd, line.data(), line.size()), ssize_t(line.size()));
        ::close(fd);
        now.insert(now.end(), line.begin(), line.end());
        break;
    }
    case Change::Truncate:
        now.resize(now.size() / 3);
        EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(now.size())), 0);
        break;
    case Change::RewriteKeepingSizeAndTime: {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        const size_t at = now.size() / 2;
        now[at] ^= 0x20;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(::pwrite(fd, &now[at], 1, static_cast<off_t>(at)), 1);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        EXPECT_EQ(::futimens(fd, times), 0);
        ::close(fd);
        break;
    }
    case Change::ReplaceByRename: {
        now = TextBytes(now.size(), 72);
        const std::string incoming = fsys::path(path).parent_path().string() + "/.incoming";
        WriteFile(incoming, now);
        fsys::rename(incoming, path);
        break;
    }
    }
    return now;
}

constexpr Change kChanges[] = {Change::Append, Change::Truncate, Change::RewriteKeepingSizeAndTime,
                               Change::ReplaceByRename};

} // namespace

TEST(SourceChange, StrangerAtTheOutputPathIsKeptUnlessOverwriteWasAgreed)
{
    for (const JobShape& s : kJobShapes)
        for (bool named : {false, true})
            for (bool agreed : {false, true}) {
                SCOPED_TRACE(ShapeName(s) + (named ? ", named" : ", unnamed") + (agreed ? ", overwrite agreed" : ""));
                Arranged a(s);
                if (agreed)
                    WriteFile(a.output, {'e', 'a', 'r', 'l', 'i', 'e', 'r'});
                const Bytes stranger = TextBytes(5000, 73);
                NamedWorkingFiles working(named);
                JobEnd out;
                bool acted = false;
                {
                    FaultScope hook(ActAt(
                        kCommit, {},
                        [&] {
                            WriteFile(a.dir / ".stranger", stranger);
                            fsys::rename(a.dir / ".stranger", a.output);
                        },
                        acted));
                    const std::deque<lw::TMsgDlgBtn> answers =
                        agreed ? std::deque{lw::mbIgnore, lw::mbOK} : std::deque<lw::TMsgDlgBtn>{};
                    out = RunShaped(s, a.source, true, answers);
                    ASSERT_TRUE(acted);
                }
                EXPECT_TRUE(out.returned);
                const auto after = Snapshot(a.dir.Path());
                if (agreed) {
                    EXPECT_EQ(out.reason, "");
                    EXPECT_EQ(after.size(), 1u) << "the source was not wiped or a working file stayed";
                    EXPECT_TRUE(ReadFile(a.output) == a.outputBytes);
                } else {
                    EXPECT_EQ(out.reason, "Cannot create file \"" + a.output +
                                              "\". A file of that name appeared while the job ran and was left alone.");
                    EXPECT_EQ(out.boxes, std::vector<Box>{kFailed});
                    const std::map<std::string, Bytes> expected = {
                        {fsys::path(a.source).filename().string(), a.sourceBytes},
                        {fsys::path(a.output).filename().string(), stranger}};
                    EXPECT_TRUE(after == expected) << "the stranger or the source changed, or a working file stayed";
                }
            }
}

// Changed while it was read: the check before the commit finds it (or, for a shortened or
// damaged source, the failed read or decoding does, and the change is the cause told) and
// nothing is put in place. Changed once the output is in place: the output stays (it holds
// what was read); the read-back differs too, the change is the cause told. Either way
// nothing is wiped and the source is left as it now is.
TEST(SourceChange, SourceChangedDuringTheJobFailsItAndIsKept)
{
    const struct {
        const char* when;
        std::set<TFileOp> at, after;
        bool committed;
    } moments[] = {{"while read", {TFileOp::Read}, {TFileOp::Read}, false}, {"before the wipe", kCommit, {}, true}};
    for (const auto& m : moments)
        for (const JobShape& s : kJobShapes)
            for (Change c : kChanges)
                for (bool deleteSource : {true, false}) {
                    if (m.committed && !deleteSource)
                        continue; // no wipe to hold back
                    SCOPED_TRACE(std::string(m.when) + ", " + ShapeName(s) + ", " + Name(c) +
                                 (deleteSource ? ", delete source" : ""));
                    Arranged a(s);
                    Bytes now;
                    JobEnd out;
                    bool acted = false;
                    {
                        FaultScope hook(ActAt(
                            m.at, m.after, [&] { now = Apply(c, a.source); }, acted));
                        out = RunShaped(s, a.source, deleteSource);
                        ASSERT_TRUE(acted);
                    }
                    EXPECT_EQ(out.reason, "The source changed while it was read: " + a.source);
                    EXPECT_EQ(out.boxes, std::vector<Box>{kFailed}) << "the wipe was offered";
                    std::map<std::string, Bytes> expected = {{fsys::path(a.source).filename().string(), now}};
                    if (m.committed)
                        expected[fsys::path(a.output).filename().string()] = a.outputBytes;
                    EXPECT_TRUE(Snapshot(a.dir.Path()) == expected) << "an output was left or the source was touched";
                }
}

// The read-back before the wipe comes from the committed file: a change to it after the
// commit keeps the source.
TEST(SourceChange, OutputThatDoesNotReadBackKeepsTheSource)
{
    enum class Damage { FlipAByte, ReplaceByRename };
    for (const JobShape& s : kJobShapes)
        for (Damage d : {Damage::FlipAByte, Damage::ReplaceByRename}) {
            SCOPED_TRACE(ShapeName(s) + (d == Damage::FlipAByte ? ", a byte flipped" : ", replaced"));
            Arranged a(s);
            JobEnd out;
            bool acted = false;
            {
                FaultScope hook(ActAt(
                    {TFileOp::Open}, kCommit,
                    [&] {
                        Apply(d == Damage::FlipAByte ? Change::RewriteKeepingSizeAndTime : Change::ReplaceByRename,
                              a.output);
                    },
                    acted));
                out = RunShaped(s, a.source, true);
                ASSERT_TRUE(acted);
            }
            EXPECT_EQ(out.reason, "\"" + a.output +
                                      (d == Damage::FlipAByte
                                           ? "\" does not match its source when read back; the source was kept"
                                           : "\" was replaced before it could be read back; the source was kept"));
            EXPECT_EQ(out.boxes, std::vector<Box>{kFailed}) << "the wipe was offered";
            EXPECT_TRUE(ReadFile(a.source) == a.sourceBytes) << "the source was touched";
        }
}

TEST(SourceChange, SourceAnotherJobWipesIsRefused)
{
    for (const JobShape& s : kJobShapes)
        for (bool deleteSource : {false, true}) {
            SCOPED_TRACE(ShapeName(s) + (deleteSource ? ", delete source" : ""));
            Arranged a(s);
            lw::TFileStream wiping(a.source, lw::TFileMode::fmOpenReadWriteShared);
            ASSERT_TRUE(wiping.TryLock(true));
            const JobEnd out = RunShaped(s, a.source, deleteSource);
            EXPECT_EQ(out.reason, "\"" + a.source + "\" is being wiped by another Lockwell job");
            EXPECT_EQ(out.boxes, std::vector<Box>{kFailed});
            const std::map<std::string, Bytes> expected = {{fsys::path(a.source).filename().string(), a.sourceBytes}};
            EXPECT_TRUE(Snapshot(a.dir.Path()) == expected);
        }
}
