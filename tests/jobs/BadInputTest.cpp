#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "JobDoubles.h"
#include "JobRows.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"
#include "platform/Path.h"

using namespace lwtest;
using lw::fs::TFileOp;
namespace fsys = std::filesystem;

namespace {

const char* kDecryptPrompt =
    "This action will result in overwritinge an existing file!  \r\nYES to create a new name, NO to EXIT "
    "without decrypting.\r\nIGNORE to continue and overwrite file";
const char* kEncryptPrompt =
    "This action will result in overwritinge an existing file! \r\nYES to create a new name, NO to EXIT "
    "without encrypting.\r\nIGNORE to continue and overwrite";

// Every file and folder under root with its content.
std::map<std::string, Bytes> Tree(const std::string& root)
{
    std::map<std::string, Bytes> all;
    for (const auto& entry : fsys::recursive_directory_iterator(root))
        all[entry.path().string()] = entry.is_regular_file() ? ReadFile(entry.path().string()) : Bytes{'/'};
    return all;
}

void Encrypt(const std::string& source, const std::string& phrase, int cipher, bool compress)
{
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::RunEncryptJob(JobOptions(source, phrase, cipher, compress), context);
    ASSERT_EQ(ask.boxes.size(), 1u);
    ASSERT_EQ(ask.boxes[0].text, "File encrypted") << context.FailureReason;
}

struct BadCase {
    std::string name;
    bool encrypt;
    // Prepares the folder and the options; returns the output path the job will use.
    std::function<std::string(const TempDir&, lw::TJobOptions&)> arrange;
    bool earlierOutput;                    // a file already at the output path; answered Ignore
    std::function<void(FaultScope&)> fail; // faults armed just before the job
    std::string reason;                    // part of the failure's own text, {source} and {output} for those paths
};

std::ostream& operator<<(std::ostream& out, const BadCase& c)
{
    return out << c.name;
}

class BadInput : public ::testing::TestWithParam<BadCase> {};

// A compressed file under phrase "right", decrypting to "x".
std::string MakeFez(const TempDir& dir, lw::TJobOptions& options, int cipher = 3)
{
    WriteFile(dir / "x", TextBytes(200000, 4));
    Encrypt(dir / "x", "right", cipher, true);
    fsys::remove(dir / "x");
    options.SourcePath = dir / "x.fez";
    options.KeyPhrase = "right";
    options.CipherIndex = cipher;
    return dir / "x";
}

std::string PlainSource(const TempDir& dir, lw::TJobOptions& options, bool compress = false)
{
    WriteFile(dir / "s.txt", TextBytes(100000, 6)); // beyond one copy piece of 61,440
    options.SourcePath = dir / "s.txt";
    options.KeyPhrase = "k";
    options.CipherIndex = 1;
    options.Compress = compress;
    return dir / (compress ? "s.txt.fez" : "s.txt.fe2");
}

std::vector<BadCase> Cases()
{
    std::vector<BadCase> cases;
    for (int cipher = 0; cipher < 4; ++cipher)
        cases.push_back({"wrong phrase on a fez, cipher " + std::to_string(cipher), false,
                         [cipher](const TempDir& d, lw::TJobOptions& o) {
                             const auto out = MakeFez(d, o, cipher);
                             o.KeyPhrase = "Right";
                             return out;
                         },
                         true, nullptr, "Wrong key phrase or cipher: the file does not decrypt to compressed data."});
    cases.push_back({"wrong cipher on a fez", false,
                     [](const TempDir& d, lw::TJobOptions& o) {
                         const auto out = MakeFez(d, o);
                         o.CipherIndex = 1;
                         return out;
                     },
                     true, nullptr,
                     "Wrong key phrase or cipher: the file does not decrypt to compressed data. It looks like a file "
                     "encrypted with Rijndael."});
    cases.push_back({"fe2 named fez", false,
                     [](const TempDir& d, lw::TJobOptions& o) {
                         const auto out = MakeFez(d, o);
                         WriteFile(d / "x", TextBytes(200000, 4));
                         Encrypt(d / "x", "right", 3, false);
                         fsys::remove(d / "x");
                         fsys::rename(d / "x.fe2", o.SourcePath);
                         return out;
                     },
                     true, nullptr,
                     "The file decrypts to content that is not compressed: it looks like a \".fe2\" file named "
                     "\".fez\"."});
    cases.push_back({"truncated fez", false,
                     [](const TempDir& d, lw::TJobOptions& o) {
                         const auto out = MakeFez(d, o);
                         fsys::resize_file(o.SourcePath, fsys::file_size(o.SourcePath) / 32 * 16);
                         return out;
                     },
                     true, nullptr, "Cannot decrypt {source}: the compressed data ends too early"});
#ifndef _WIN32 // the trailing bytes follow a stream made by Python's bz2, which Wine cannot start
    cases.push_back(
        {"bytes after the bzip2 stream", false,
         [](const TempDir& d, lw::TJobOptions& o) {
             WriteFile(d / "x", RunPython("import bz2, sys\n"
                                          "sys.stdout.buffer.write(bz2.compress(b'data ' * 999, 5) + b'tail')"));
             Encrypt(d / "x", "k", 2, false);
             fsys::rename(d / "x.fe2", d / "x.fez");
             fsys::remove(d / "x");
             o.SourcePath = d / "x.fez";
             o.KeyPhrase = "k";
             o.CipherIndex = 2;
             return d / "x";
         },
         true, nullptr, "Cannot decrypt {source}: bzip2 error -1 (data follows the end of the compressed data)"});
#endif
    for (bool encrypt : {true, false})
        cases.push_back({std::string("missing source, ") + (encrypt ? "encrypt" : "decrypt"), encrypt,
                         [encrypt](const TempDir& d, lw::TJobOptions& o) {
                             o.SourcePath = d / "gone.fe2";
                             o.CipherIndex = 0;
                             return encrypt ? d / "gone.fe2.fe2" : d / "gone";
                         },
                         true, nullptr, "gone.fe2"});
    cases.push_back({"unopenable source", true, [](const TempDir& d, lw::TJobOptions& o) { return PlainSource(d, o); },
                     true, [](FaultScope& f) { f.FailFrom(TFileOp::Open, 1, EACCES); },
                     "Cannot open file \"{source}\". Permission denied"});
    for (bool compress : {false, true})
        cases.push_back({std::string("read error mid-source, ") + (compress ? "fez" : "fe2"), true,
                         [compress](const TempDir& d, lw::TJobOptions& o) { return PlainSource(d, o, compress); }, true,
                         [](FaultScope& f) { f.FailFrom(TFileOp::Read, 2, EIO); },
                         "Input/output error while reading {source}"});
    cases.push_back(
        {"read error mid-source, decrypt", false, [](const TempDir& d, lw::TJobOptions& o) { return MakeFez(d, o); },
         true, [](FaultScope& f) { f.FailFrom(TFileOp::Read, 3, EIO); }, "Input/output error while reading {source}"});
    cases.push_back({"destination folder missing", true,
                     [](const TempDir& d, lw::TJobOptions& o) {
                         PlainSource(d, o);
                         o.DestinationFolder = d / "nowhere";
                         return d / "nowhere" + lw::path::kSeparator + "s.txt.fe2";
                     },
                     false, nullptr, "Cannot create file \"{output}\". No such file or directory"});
    cases.push_back({"folder at the output path", true,
                     [](const TempDir& d, lw::TJobOptions& o) {
                         const auto out = PlainSource(d, o);
                         fsys::create_directory(out);
                         return out;
                     },
                     false, nullptr, "Cannot create file \"{output}\". Is a directory"});
    for (int from : {1, 3})
        for (bool compress : {false, true})
            cases.push_back({"disk full from write " + std::to_string(from) + (compress ? ", fez" : ", fe2"), true,
                             [compress](const TempDir& d, lw::TJobOptions& o) { return PlainSource(d, o, compress); },
                             true, [from](FaultScope& f) { f.FailFrom(TFileOp::Write, from, ENOSPC); },
                             "No space left on device while writing {output}"});
    cases.push_back({"disk full while decompressing", false,
                     [](const TempDir& d, lw::TJobOptions& o) { return MakeFez(d, o); }, true,
                     [](FaultScope& f) { f.FailFrom(TFileOp::Write, 5, ENOSPC); },
                     "No space left on device while writing {output}"});
    cases.push_back(
        {"flush to disk fails", true, [](const TempDir& d, lw::TJobOptions& o) { return PlainSource(d, o); }, true,
         [](FaultScope& f) { f.FailFrom(TFileOp::Sync, 1, EIO); }, "Input/output error while saving {output}"});
    cases.push_back({"rename into place fails", false,
                     [](const TempDir& d, lw::TJobOptions& o) { return MakeFez(d, o); }, true,
                     [](FaultScope& f) { f.FailFrom(TFileOp::Rename, 1, EXDEV); },
                     "Invalid cross-device link while saving {output}"});
    for (bool encrypt : {true, false})
        cases.push_back({std::string("no cipher selected, ") + (encrypt ? "encrypt" : "decrypt"), encrypt,
                         [encrypt](const TempDir& d, lw::TJobOptions& o) {
                             const auto out = encrypt ? PlainSource(d, o) : MakeFez(d, o);
                             o.CipherIndex = -1;
                             return out;
                         },
                         true, nullptr, "No cipher selected"});
    cases.push_back({"cipher index out of range", true,
                     [](const TempDir& d, lw::TJobOptions& o) {
                         const auto out = PlainSource(d, o);
                         o.CipherIndex = 4;
                         return out;
                     },
                     false, nullptr, "No cipher selected"});
    return cases;
}

} // namespace

TEST_P(BadInput, FileIOErrorAndNothingLost)
{
    const BadCase& c = GetParam();
    TempDir dir;
    lw::TJobOptions options;
    const std::string output = c.arrange(dir, options);
    if (c.earlierOutput)
        WriteFile(output, Bytes{'e', 'a', 'r', 'l', 'i', 'e', 'r'});
    // Nothing may run after the failure: no wipe of the source, no hand-off.
    options.DeleteSource = true;
    options.CopyToClipboard = true;
    options.SendByMail = true;
    const auto before = Tree(dir.Path());

    ScriptedAsk ask(c.earlierOutput ? std::deque<lw::TMsgDlgBtn>{lw::mbIgnore} : std::deque<lw::TMsgDlgBtn>{});
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    bool ended = false;
    {
        FaultScope faults;
        if (c.fail)
            c.fail(faults);
        ended = c.encrypt ? lw::RunEncryptJob(options, context) : lw::RunDecryptJob(options, context);
    }
    EXPECT_TRUE(ended);
    std::vector<Box> expected;
    if (c.earlierOutput)
        expected.push_back({lw::TMsgDlgType::mtConfirmation, c.encrypt ? kEncryptPrompt : kDecryptPrompt,
                            lw::mbYes | lw::mbNo | lw::mbIgnore});
    expected.push_back({lw::TMsgDlgType::mtError, "File IO error", lw::mbOK});
    EXPECT_EQ(ask.boxes, expected);
    EXPECT_TRUE(handOff.calls.empty());
    std::string reason = c.reason;
    using Mark = std::pair<std::string, std::string>;
    for (const auto& [mark, path] : {Mark{"{source}", options.SourcePath}, Mark{"{output}", output}})
        if (const auto at = reason.find(mark); at != std::string::npos)
            reason.replace(at, mark.size(), path);
    EXPECT_NE(context.FailureReason.find(reason), std::string::npos) << context.FailureReason;
    EXPECT_TRUE(Tree(dir.Path()) == before) << "a file was created, changed or removed";
}

INSTANTIATE_TEST_SUITE_P(Jobs, BadInput, ::testing::ValuesIn(Cases()), RowName());
