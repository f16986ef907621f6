// The reason behind "File IO error" and behind a kept file, word for word, for what a user
// meets: a full disk, a disk failing a read, a flush or the commit, no permission, damaged
// compressed data. Each says why and names the file the user knows: the source, or the
// final output, never a working file, whichever kind of working file the job used.
#include <cerrno>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <system_error>

#include <gtest/gtest.h>

#include "../JobDoubles.h"
#include "../JobRows.h"
#include "TestUtil.h"
#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/Verify.h"
#include "jobs/Wipe.h"
#include "platform/MemoryStream.h"

using namespace lwtest;
using lw::fs::TFileOp;
namespace fsys = std::filesystem;

namespace {

const char* kPhrase = "reasons";
constexpr int kCipher = 3;
// Beyond one copy piece and one cipher stretch.
constexpr size_t kSize = 300000 + 11;

enum class Act { Encrypt, Decrypt, Wipe };

struct ReasonRow {
    const char* name;
    Act act;
    bool compressed;
    // The fault: the nth call of op and every later one fail with error. Commit stands
    // for the call that puts the output in place: a link, or a rename for named working files.
    std::optional<TFileOp> op;
    bool commit;
    int nth;
    int error;
    bool damage;          // a byte in the middle of the encrypted source flipped
    const char* expected; // {source} and {output} stand for those paths
};

const ReasonRow kRows[] = {
    {"disk full, encrypt fe2", Act::Encrypt, false, TFileOp::Write, false, 1, ENOSPC, false,
     "No space left on device while writing {output}"},
    {"disk full late, encrypt fez", Act::Encrypt, true, TFileOp::Write, false, 2, ENOSPC, false,
     "No space left on device while writing {output}"},
    {"read fails, decrypt fez", Act::Decrypt, true, TFileOp::Read, false, 1, EIO, false,
     "Input/output error while reading {source}"},
    {"flush fails, decrypt fe2", Act::Decrypt, false, TFileOp::Sync, false, 1, EIO, false,
     "Input/output error while saving {output}"},
    {"commit refused, encrypt fez", Act::Encrypt, true, std::nullopt, true, 1, EIO, false,
     "Input/output error while saving {output}"},
    {"close at the commit fails, decrypt fez", Act::Decrypt, true, TFileOp::Close, false, 1, EDQUOT, false,
     "Disk quota exceeded while saving {output}"},
    {"damaged fez", Act::Decrypt, true, std::nullopt, false, 0, 0, true,
     "Cannot decrypt {source}: the compressed data is damaged or the key phrase or cipher is wrong"},
    {"wipe, disk full", Act::Wipe, false, TFileOp::Write, false, 1, ENOSPC, false,
     "No space left on device while writing {source}"},
    {"wipe, flush fails", Act::Wipe, false, TFileOp::Sync, false, 3, EIO, false,
     "\"report.odt\" was overwritten but could not be deleted: Input/output error while saving {source}"},
};

std::string Filled(std::string text, const std::string& source, const std::string& output)
{
    using Mark = std::pair<std::string, std::string>;
    for (const auto& [mark, path] : {Mark{"{source}", source}, Mark{"{output}", output}})
        if (const auto at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), path);
    return text;
}

JobEnd RunOn(bool encrypt, const std::string& source, bool compressed)
{
    const JobEnd end = RunJob(encrypt, JobOptions(source, kPhrase, kCipher, compressed));
    EXPECT_TRUE(end.returned);
    return end;
}

// The folder's source for the row: the text, or a clean job's encryption of it.
struct Arranged {
    std::string source, output;
    Bytes sourceBytes;
};

Arranged Arrange(const ReasonRow& row, const TempDir& dir)
{
    const std::string plain = dir / "report.odt";
    const std::string packed = plain + (row.compressed ? ".fez" : ".fe2");
    const Bytes text = TextBytes(kSize, 12);
    if (row.act != Act::Decrypt) {
        WriteFile(plain, text);
        return {plain, packed, text};
    }
    Bytes bytes = EncryptedByAJob(text, kPhrase, kCipher, row.compressed);
    if (row.damage)
        bytes[bytes.size() / 2] ^= 0x01;
    WriteFile(packed, bytes);
    return {packed, plain, bytes};
}

} // namespace

TEST(FailureReason, SaysWhyAndNamesTheFileTheUserKnows)
{
    const Box failed{lw::TMsgDlgType::mtError, "File IO error", lw::mbOK};
    for (const ReasonRow& row : kRows)
        for (bool named : {false, true}) {
            if (row.act == Act::Wipe && named)
                continue; // a wipe has no working file
            SCOPED_TRACE(std::string(row.name) + (named ? ", named working file" : ""));
            NamedWorkingFiles mode(named);
            TempDir dir;
            const Arranged a = Arrange(row, dir);
            const std::optional<TFileOp> op = row.commit ? (named ? TFileOp::Rename : TFileOp::Link) : row.op;
            JobEnd ran;
            {
                FaultScope faults;
                if (op)
                    faults.FailFrom(*op, row.nth, row.error);
                if (row.act == Act::Wipe) {
                    const WipeRun wipe = Wipe(a.source);
                    EXPECT_FALSE(wipe.Deleted());
                    ran.reason = wipe.reason;
                } else {
                    ran = RunOn(row.act == Act::Encrypt, a.source, row.compressed);
                }
                if (op) {
                    EXPECT_GE(faults.Count(*op), row.nth) << "the fault was never reached";
                }
            }
            EXPECT_EQ(ran.reason, Filled(row.expected, a.source, a.output));
            if (row.act != Act::Wipe) {
                EXPECT_EQ(ran.boxes, std::vector<Box>{failed});
                // Only the source, as it was: no output, no working file.
                EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{fsys::path(a.source).filename().string()});
                EXPECT_TRUE(ReadFile(a.source) == a.sourceBytes) << "the source changed";
            } else {
                EXPECT_EQ(fsys::file_size(a.source), a.sourceBytes.size()) << "a failed wipe changed the size";
            }
        }
}

namespace {

// Root passes every permission check: the job then runs as nobody in a child. Elsewhere
// this user meets the permissions itself.
std::optional<std::string> WithoutPrivileges(const std::function<std::string()>& body)
{
    return ::geteuid() == 0 ? AsNobody(body) : std::optional<std::string>(body());
}

} // namespace

TEST(FailureReason, NoPermissionNamesTheFile)
{
    struct Row {
        const char* name;
        fsys::perms source;
        fsys::perms folder;
        const char* expected;
    };
    const Row rows[] = {
        {"source not readable", fsys::perms(0200), fsys::perms(0755),
         "Cannot open file \"{source}\". Permission denied"},
        {"folder not writable", fsys::perms(0644), fsys::perms(0555),
         "Cannot create file \"{output}\". Permission denied"},
    };
    TempDir outer;
    fsys::permissions(outer.Path(), fsys::perms(0755));
    for (const Row& row : rows)
        for (bool named : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (named ? ", named working file" : ""));
            NamedWorkingFiles mode(named);
            const std::string dir = outer / "box";
            fsys::create_directory(dir);
            const std::string source = dir + "/report.odt", output = source + ".fe2";
            WriteFile(source, TextBytes(5000, 3));
            // Bits that keep out both this user, the owner, and nobody, a stranger.
            fsys::permissions(source, row.source);
            fsys::permissions(dir, row.folder);
            const auto said = WithoutPrivileges([&] { return RunOn(true, source, false).reason; });
            if (!said) {
                GTEST_SKIP() << "cannot become an unprivileged user (65534) here";
            }
            EXPECT_EQ(*said, Filled(row.expected, source, output));
            fsys::permissions(dir, fsys::perms::owner_all);
            EXPECT_EQ(Listing(dir), std::vector<std::string>{fsys::path(source).filename().string()});
            fsys::remove_all(dir);
        }
}

// Failures that are not the program's own (memory, threads) still name the source.
TEST(FailureReason, ForeignFailuresNameTheSource)
{
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::job::ReportFailure(context, std::bad_alloc(), lw::TJobKind::Encrypt, "/d/report.odt");
    EXPECT_EQ(context.FailureReason, "Cannot encrypt /d/report.odt: not enough memory");
    const std::system_error noThread(std::make_error_code(std::errc::resource_unavailable_try_again));
    lw::job::ReportFailure(context, noThread, lw::TJobKind::Decrypt, "/d/report.odt.fez");
    EXPECT_EQ(context.FailureReason, "Cannot decrypt /d/report.odt.fez: Resource temporarily unavailable");
    EXPECT_EQ(ask.boxes.size(), 2u);
}

// A kernel file reports a page as its size and holds far less: the read ends early with
// no OS error and no change to the file.
TEST(FailureReason, SourceShorterThanItsSizeSaysItEndedEarly)
{
    const std::string source = "/sys/devices/system/cpu/online";
    if (!fsys::exists(source) || fsys::file_size(source) <= ReadFile(source).size()) {
        GTEST_SKIP() << source << " is missing or not shorter than its size here";
    }
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "fez" : "fe2");
        TempDir dir;
        lw::TJobOptions options = JobOptions(source, kPhrase, kCipher, compress);
        options.DestinationFolder = dir.Path();
        const JobEnd end = RunJob(true, options);
        EXPECT_TRUE(end.returned);
        EXPECT_EQ(end.reason, "The source ended early while it was read: " + source);
        EXPECT_TRUE(Listing(dir.Path()).empty());
    }
}

namespace {

void Fill(lw::TMemoryStream& stream, const Bytes& bytes)
{
    stream.WriteBuffer(bytes);
    stream.SetPosition(0);
}

} // namespace

// The read-back before a wipe: compressed data that no longer decompresses is a
// difference like any other, told with the output's name rather than a bare code.
TEST(FailureReason, ReadBackThatDoesNotDecompressIsADifference)
{
    const Bytes plain = TextBytes(kSize, 5);
    lw::TMemoryStream source;
    Fill(source, plain);
    auto cipher = lw::CreateCipher(kCipher);
    lw::job::KeyCipher(cipher.get(), kPhrase);
    lw::TMemoryStream sealed;
    lw::job::CompressAndEncrypt(source, *cipher, sealed);
    const Bytes good = sealed.Data();
    const std::pair<const char*, size_t> rows[] = {
        {"signature garbled", 2}, {"first block garbled", 40}, {"middle garbled", good.size() / 2}, {"cut short", 0}};
    for (const auto& [name, at] : rows) {
        SCOPED_TRACE(name);
        Bytes damaged = good;
        if (at == 0)
            damaged.resize(good.size() - 100);
        else
            damaged[at] ^= 0x01;
        lw::TMemoryStream encrypted, original;
        Fill(encrypted, damaged);
        Fill(original, plain);
        try {
            lw::job::VerifyDecodesTo(encrypted, encrypted.Size(), original, kCipher, kPhrase, true,
                                     "/d/report.odt.fez");
            ADD_FAILURE() << "damage passed the read-back";
        } catch (const lw::job::EVerifyFailed& e) {
            EXPECT_EQ(e.Message(),
                      "\"/d/report.odt.fez\" does not match its source when read back; the source was kept");
        }
    }
}
