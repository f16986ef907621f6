// The key phrase as lockwell-cli takes it: bounded in length and in what is read, never
// empty for encryption, and a source that was to be deleted but stays fails the run.
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "../jobs/JobDoubles.h"
#include "../jobs/JobRows.h"
#include "CliRun.h"
#include "TestUtil.h"
#include "jobs/Plausibility.h"
#include "jobs/Jobs.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

constexpr size_t kLimit = 65536;

struct BoundedRun {
    int status = -1;
    int signal = 0;
    std::string err;
    off_t stdinRead = -1; // how far the tool moved the shared standard input
};

// Runs the tool on standard input from `stdinPath`, sharing its file offset with this
// process so the bytes read can be counted. The alarm is the run's own bound: a tool that
// never stops reading dies of it instead of hanging the suite.
BoundedRun RunWithInput(const std::vector<std::string>& args, const std::string& configHome,
                        const std::string& stdinPath)
{
    TempDir io;
    const int in = ::open(stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(in, 0) << stdinPath;
    const int status = WaitStatus(StartCli(args, configHome, TCliStart().In(in).Err(io / "err").Bound(120)));
    BoundedRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.stdinRead = ::lseek(in, 0, SEEK_CUR);
    ::close(in);
    const Bytes err = ReadFile(io / "err");
    run.err.assign(err.begin(), err.end());
    return run;
}

// Letters only, so the phrase holds no line end of its own.
Bytes Letters(size_t n, uint32_t seed)
{
    Bytes b = TextBytes(n, seed);
    for (auto& x : b)
        x = static_cast<uint8_t>('a' + x % 26);
    return b;
}

std::string Text(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

size_t Entries(const std::string& folder)
{
    return static_cast<size_t>(std::distance(fsys::directory_iterator(folder), fsys::directory_iterator()));
}

// The project's own jobs, as the window would run them.
bool EncryptWithJob(const std::string& source, const std::string& phrase, int cipher, bool compress)
{
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    const lw::TJobOptions options = JobOptions(source, phrase, cipher, compress);
    return lw::RunEncryptJob(options, context) && context.FailureReason.empty();
}

Bytes DecryptWithJob(const std::string& source, const std::string& phrase, int cipher, const std::string& dest)
{
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    lw::TJobOptions options = JobOptions(source, phrase, cipher);
    options.DestinationFolder = dest;
    lw::RunDecryptJob(options, context);
    EXPECT_EQ(context.FailureReason, "");
    return ReadFile(dest + "/" + fsys::path(source).stem().string());
}

} // namespace

TEST(CliKeyPhrase, LongPhrasesAreRefusedAfterABoundedRead)
{
    const Bytes atLimit = Letters(kLimit, 1);
    Bytes withLineEnd = atLimit;
    withLineEnd.push_back('\n');
    const Bytes rest = Letters(3 * kLimit, 2);
    withLineEnd.insert(withLineEnd.end(), rest.begin(), rest.end());
    const Bytes overLimit = Letters(kLimit + 1, 3);
    const Bytes far = Letters(4 * kLimit, 4);

    const struct {
        const char* name;
        const Bytes* content; // nullptr: /dev/zero
        bool onStdin;
        bool accepted;
    } rows[] = {
        {"file at the limit", &atLimit, false, true},
        {"file at the limit, then a line end and more", &withLineEnd, false, true},
        {"file one byte over", &overLimit, false, false},
        {"file far over", &far, false, false},
        {"/dev/zero", nullptr, false, false},
        {"stdin at the limit", &atLimit, true, true},
        {"stdin at the limit, then a line end and more", &withLineEnd, true, true},
        {"stdin one byte over", &overLimit, true, false},
        {"stdin far over", &far, true, false},
        {"stdin from /dev/zero", nullptr, true, false},
    };
    for (const auto& row : rows) {
        TempDir dir;
        WriteFile(dir / "f", TextBytes(1000, 5));
        std::string phraseFile = "/dev/zero";
        if (row.content) {
            phraseFile = dir / "phrase";
            WriteFile(phraseFile, *row.content);
        }
        const std::string stdinPath = row.onStdin ? phraseFile : "/dev/null";
        const BoundedRun r =
            RunWithInput({"encrypt", "--cipher", "3", "--phrase-file", row.onStdin ? "-" : phraseFile, dir / "f"},
                         dir.Path(), stdinPath);
        ASSERT_EQ(r.signal, 0) << row.name << ": the tool did not end by itself";
        if (row.onStdin && row.content) {
            EXPECT_LE(r.stdinRead, static_cast<off_t>(kLimit + 1)) << row.name;
        }
        if (row.accepted) {
            ASSERT_EQ(r.status, 0) << row.name << ": " << r.err;
            EXPECT_EQ(r.err, "File encrypted with Rijndael\n") << row.name;
            fsys::create_directory(dir / "back");
            EXPECT_TRUE(DecryptWithJob(dir / "f.fe2", Text(atLimit), 3, dir / "back") == TextBytes(1000, 5))
                << row.name << ": the tool took another phrase";
        } else {
            EXPECT_EQ(r.status, 1) << row.name;
            const std::string where = row.onStdin ? "standard input" : "\"" + phraseFile + "\"";
            EXPECT_EQ(r.err, "lockwell-cli: the key phrase from " + where + " is longer than 65536 bytes\n")
                << row.name;
            EXPECT_EQ(Entries(dir.Path()), row.content ? 2u : 1u) << row.name << ": nothing is created";
        }
    }
}

TEST(CliKeyPhrase, EncryptRefusesAnEmptyPhraseAndCreatesNothing)
{
    const char* const refusal = "lockwell-cli: the key phrase is empty: anyone could decrypt the file\n";
    const struct {
        const char* name;
        std::string phrase; // the phrase file's content
        bool onStdin;
        std::vector<std::string> flags;
    } rows[] = {
        {"empty file", "", false, {}},
        {"line end only", "\n", false, {"--compress"}},
        {"empty first line", "\r\nsecond line", false, {"--cipher", "rc4"}},
        {"empty standard input", "", true, {}},
        // Refused before anything could be wiped.
        {"delete source, confirmed", "\n", true, {"--delete-source", "--yes"}},
    };
    for (const auto& row : rows) {
        TempDir dir;
        WriteFile(dir / "f", TextBytes(700, 6));
        WriteFile(dir / "phrase", Bytes(row.phrase.begin(), row.phrase.end()));
        std::vector<std::string> args{"encrypt", "--phrase-file", row.onStdin ? "-" : dir / "phrase"};
        args.insert(args.end(), row.flags.begin(), row.flags.end());
        args.push_back(dir / "f");
        const BoundedRun r = RunWithInput(args, dir.Path(), row.onStdin ? dir / "phrase" : "/dev/null");
        EXPECT_EQ(r.status, 1) << row.name;
        EXPECT_EQ(r.err, refusal) << row.name;
        EXPECT_EQ(Entries(dir.Path()), 2u) << row.name;
        EXPECT_TRUE(ReadFile(dir / "f") == TextBytes(700, 6)) << row.name;
    }

    // Typed on the terminal, twice.
    TempDir dir;
    WriteFile(dir / "t", TextBytes(50, 7));
    const CliResult r =
        RunCliOnTerminal({"encrypt", dir / "t"}, dir.Path(), {{"Key phrase: ", ""}, {"Key phrase again: ", ""}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("the key phrase is empty: anyone could decrypt the file"), std::string::npos) << r.out;
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(CliKeyPhrase, DecryptTakesAnEmptyPhrase)
{
    const struct {
        int cipher;
        bool compress;
        const char* phrase;
        bool onStdin;
    } rows[] = {{1, false, "", false}, {3, true, "\n", true}, {0, false, "\r\n", false}};
    for (const auto& row : rows) {
        TempDir dir;
        fsys::create_directory(dir / "back");
        const Bytes data = TextBytes(3000, 8);
        WriteFile(dir / "f", data);
        ASSERT_TRUE(EncryptWithJob(dir / "f", "", row.cipher, row.compress));
        const std::string encrypted = dir / (row.compress ? "f.fez" : "f.fe2");
        const std::string phrase = row.phrase;
        WriteFile(dir / "phrase", Bytes(phrase.begin(), phrase.end()));
        const BoundedRun r = RunWithInput({"decrypt", "--cipher", std::to_string(row.cipher), "--dest", dir / "back",
                                           "--phrase-file", row.onStdin ? "-" : dir / "phrase", encrypted},
                                          dir.Path(), row.onStdin ? dir / "phrase" : "/dev/null");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "File decrypted with " + lw::CipherName(row.cipher) + "\n");
        EXPECT_TRUE(ReadFile(dir / "back/f") == data) << "cipher " << row.cipher;
    }
}

TEST(CliKeyPhrase, KeptSourceFailsTheRunUnlessTheWipeIsConfirmed)
{
    const struct {
        bool decrypt;
        bool yes;
    } rows[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& row : rows) {
        const std::string name = std::string(row.decrypt ? "decrypt" : "encrypt") + (row.yes ? " --yes" : "");
        TempDir dir;
        const Bytes data = TextBytes(4321, 9);
        WriteFile(dir / "s", data);
        WriteFile(dir / "p", {'p', 'w', '\n'});
        std::string source = dir / "s";
        if (row.decrypt) {
            ASSERT_TRUE(EncryptWithJob(source, "pw", 1, false));
            fsys::remove(source);
            source += ".fe2";
        }
        const Bytes before = ReadFile(source);
        std::vector<std::string> args{
            row.decrypt ? "decrypt" : "encrypt", "--cipher", "1", "--delete-source", "--phrase-file", dir / "p"};
        if (row.yes)
            args.push_back("--yes");
        args.push_back(source);
        const CliResult r = RunCli(args, dir.Path());

        // The output is there and right either way.
        if (row.decrypt) {
            EXPECT_TRUE(ReadFile(dir / "s") == data) << name;
        } else {
            fsys::create_directory(dir / "back");
            EXPECT_TRUE(DecryptWithJob(dir / "s.fe2", "pw", 1, dir / "back") == data) << name;
        }
        const std::string done = row.decrypt ? "File decrypted with Blowfish\n" : "File encrypted with Blowfish\n";
        if (row.yes) {
            EXPECT_EQ(r.status, 0) << name << ": " << r.err;
            EXPECT_FALSE(fsys::exists(source)) << name;
            EXPECT_EQ(r.err.find("Source kept"), std::string::npos) << name;
        } else {
            EXPECT_EQ(r.status, 1) << name;
            EXPECT_TRUE(ReadFile(source) == before) << name << ": the source is kept byte for byte";
            // The result first, then why the source stayed, as the last line.
            const size_t result = r.err.find(done);
            const size_t kept = r.err.rfind("Source kept: ");
            ASSERT_NE(result, std::string::npos) << name << ": " << r.err;
            ASSERT_NE(kept, std::string::npos) << name << ": " << r.err;
            EXPECT_GT(kept, result) << name;
            EXPECT_EQ(r.err.find('\n', kept), r.err.size() - 1) << name;
            EXPECT_GT(r.err.size() - kept, std::string("Source kept: \n").size()) << name << ": a reason is given";
        }
    }
}
