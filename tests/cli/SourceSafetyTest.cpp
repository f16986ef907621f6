// lockwell-cli in the everyday situations that could cost a user's file: two runs on one
// source at once, a wipe of a file a job reads, a source appended to while it is read, a
// /proc file, a wrong key phrase or cipher, a source the user may read but not write.
// Real processes on real files; a run "in the middle" is made sure of by watching its
// open files and its lock and stopping it there, not by timing.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "../jobs/JobDoubles.h"
#include "../jobs/JobRows.h"
#include "CliProcess.h"
#include "CliRun.h"
#include "TestUtil.h"
#include "cli/CliOptions.h"
#include "jobs/Plausibility.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

constexpr size_t kMiB = 1 << 20;
constexpr uid_t kNobody = 65534;

std::string Text(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

struct Env {
    TempDir config{MemoryTempRoot()};
    std::string phrase = config / "phrase";
    Env() { WriteFile(phrase, {'p', 'w', '\n'}); }

    // The file decrypted by the tool (RC4, the phrase); empty when that fails.
    Bytes Decrypted(const std::string& file) const
    {
        TempDir back(MemoryTempRoot());
        const CliResult r =
            RunCli({"decrypt", "--cipher", "rc4", "--phrase-file", phrase, "--dest", back.Path(), file}, config.Path());
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string name = fsys::path(file).stem().string();
        return fsys::exists(back / name) ? ReadFile(back / name) : Bytes{};
    }
};

std::string LastLine(std::string err)
{
    if (!err.empty() && err.back() == '\n')
        err.pop_back();
    const size_t start = err.rfind('\n');
    return start == std::string::npos ? err : err.substr(start + 1);
}

// What the tool prints after --yes answered the wipe's question for path, then end.
std::string Printed(const std::string& path, const std::string& err, const std::string& end)
{
    return ToolWipeLines(path, true, Warned(err)) + end;
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0;
}

} // namespace

// Two runs that both want to encrypt the source and wipe it: whatever the order, the
// output decrypts to the source's bytes, the source is either intact or wiped by the one
// run that says so, and a run that kept it fails and says why.
TEST(SourceSafety, TwoRunsOnOneSourceNeverLoseIt)
{
    Env env;
    const Bytes source = Repeated(TextBytes(kMiB, 91), 3);
    std::map<std::string, int> seen;
    for (bool compress : {false, true})
        for (int round = 0; round < (compress ? 8 : 20); ++round) {
            SCOPED_TRACE(std::string(compress ? "fez" : "fe2") + ", round " + std::to_string(round));
            TempDir dir(MemoryTempRoot()), io;
            WriteFile(dir / "s", source);
            const std::string output = dir / (compress ? "s.fez" : "s.fe2");
            std::vector<std::string> args{"encrypt",     "--cipher",      "rc4",      "--delete-source", "--yes",
                                          "--overwrite", "--phrase-file", env.phrase, dir / "s"};
            if (compress)
                args.insert(args.begin() + 1, "--compress");
            int gate[2];
            ASSERT_EQ(::pipe(gate), 0);
            const pid_t first = StartCli(args, env.config.Path(), TCliStart().Err(io / "1").Gate(gate));
            const pid_t second = StartCli(args, env.config.Path(), TCliStart().Err(io / "2").Gate(gate));
            ::close(gate[0]);
            ::close(gate[1]);
            const int status[2] = {Finish(first), Finish(second)};
            const std::string err[2] = {Text(ReadFile(io / "1")), Text(ReadFile(io / "2"))};

            const bool kept = fsys::exists(dir / "s");
            ASSERT_TRUE(fsys::exists(output)) << err[0] << err[1];
            EXPECT_TRUE(env.Decrypted(output) == source) << "the output is not the source";
            if (kept) {
                EXPECT_TRUE(ReadFile(dir / "s") == source) << "the source was damaged";
            }
            EXPECT_EQ(Listing(dir.Path()).size(), kept ? 2u : 1u) << "a working file stayed";
            int wiped = 0;
            std::string outcome;
            for (int i = 0; i < 2; ++i) {
                const std::string last = LastLine(err[i]);
                std::string said = last;
                for (size_t at; (at = said.find(dir.Path())) != std::string::npos;)
                    said.replace(at, dir.Path().size(), "DIR");
                outcome += (i ? " / " : "") + said;
                if (status[i] == 0) {
                    ++wiped;
                    EXPECT_EQ(last, "File encrypted with RC4") << err[i];
                } else {
                    EXPECT_EQ(status[i], 1) << err[i];
                    EXPECT_TRUE(StartsWith(last, "File IO error: ") || StartsWith(last, "Source kept: ")) << err[i];
                    EXPECT_GT(last.size(), std::string("File IO error: ").size()) << "no reason given";
                }
            }
            EXPECT_LE(wiped, 1);
            EXPECT_EQ(kept, wiped == 0) << "the exit status does not tell what became of the source";
            ++seen[outcome];
            if (HasFailure())
                return;
        }
    for (const auto& [outcome, count] : seen)
        std::printf("  %2d x %s\n", count, outcome.c_str());
}

// The end-to-end row of the wipe's refusal (WipeLocks): a real job holds the file, the
// wipe refuses and says why after its question, and goes through once the job is over.
TEST(SourceSafety, WipeOfAFileAJobReadsIsRefused)
{
    Env env;
    const Bytes source = Repeated(TextBytes(kMiB, 92), 32);
    TempDir dir(MemoryTempRoot()), io;
    const pid_t job = StopARunMidJob(
        [&] {
            WriteFile(dir / "s", source);
            fsys::remove(dir / "s.fe2");
            return StartCli({"encrypt", "--cipher", "rc4", "--phrase-file", env.phrase, dir / "s"}, env.config.Path(),
                            TCliStart().Err(io / "job"));
        },
        dir.Path(), dir / "s", dir / "s.fe2");
    ASSERT_GE(job, 0) << "never caught the encryption in the middle";
    const CliResult wipe = RunCli({"wipe", "--yes", dir / "s"}, env.config.Path());
    ::kill(job, SIGCONT);
    EXPECT_EQ(Finish(job), 0) << Text(ReadFile(io / "job"));
    EXPECT_EQ(wipe.status, 1);
    EXPECT_EQ(wipe.err, Printed(dir / "s", wipe.err, "File NOT deleted\n\"s\" is in use by another Lockwell job\n"));
    EXPECT_TRUE(ReadFile(dir / "s") == source) << "the source was touched";
    EXPECT_TRUE(env.Decrypted(dir / "s.fe2") == source) << "the output is not the source";
    const CliResult after = RunCli({"wipe", "--yes", dir / "s"}, env.config.Path());
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.err, Printed(dir / "s", after.err, "File deleted\n"));
    EXPECT_FALSE(fsys::exists(dir / "s"));
}

// Appended to after the job recorded the source (the job stopped there): the job fails
// with the change as the reason, commits nothing and wipes nothing. The end-to-end row of
// the jobs' own source-change table (SourceChange), with a real process appending.
TEST(SourceSafety, SourceAppendedToDuringTheJobIsNeitherCommittedNorWiped)
{
    Env env;
    const Bytes source = Repeated(TextBytes(kMiB, 93), 24);
    TempDir dir(MemoryTempRoot()), io;
    const std::vector<std::string> args{"encrypt", "--compress",    "--cipher", "rc4",    "--delete-source",
                                        "--yes",   "--phrase-file", env.phrase, dir / "s"};
    const pid_t job = StopARunMidJob(
        [&] {
            WriteFile(dir / "s", source);
            fsys::remove(dir / "s.fez");
            return StartCli(args, env.config.Path(), TCliStart().Err(io / "err"));
        },
        dir.Path(), dir / "s", dir / "s.fez");
    ASSERT_GE(job, 0) << "never caught the encryption in the middle";
    Appender appender(dir / "s");
    ASSERT_TRUE(appender.Go(true));
    ::kill(job, SIGCONT);
    const int status = Finish(job);
    appender.Stop();
    const std::string err = Text(ReadFile(io / "err"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(LastLine(err), "File IO error: The source changed while it was read: " + dir / "s") << err;
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"s"}) << "an output was left";
    EXPECT_TRUE(Appender::StartThenLines(ReadFile(dir / "s"), source)) << "the source lost bytes";
}

TEST(SourceSafety, FileThatReportsNoSizeIsRefused)
{
    Env env;
    for (const std::string& path : {"/proc/" + std::to_string(::getpid()) + "/status", std::string("/proc/cpuinfo")})
        for (bool deleteSource : {false, true}) {
            SCOPED_TRACE(path + (deleteSource ? ", delete source" : ""));
            TempDir dir(MemoryTempRoot());
            std::vector<std::string> args{"encrypt",  "--cipher",      "rc4",      "--dest",
                                          dir.Path(), "--phrase-file", env.phrase, path};
            if (deleteSource)
                args.insert(args.begin() + 1, {"--delete-source", "--yes"});
            const CliResult r = RunCli(args, env.config.Path());
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "File IO error: \"" + path +
                                 "\" reports a size of 0 but has content; copy it to an ordinary file first\n");
            EXPECT_TRUE(Listing(dir.Path()).empty()) << "an output was made";
        }
}

// A ".fe2" decrypted with a wrong phrase or cipher, or one that never was Lockwell output,
// gives noise: it is not kept, and the run fails saying why. With --keep-doubtful it is
// kept: with --delete-source the source stays even under --yes and the run fails saying
// why; without it the warning follows the result. The right phrase still wipes.
TEST(SourceSafety, NoiseFromAWrongPhraseOrCipherKeepsTheSource)
{
    Env env;
    TempDir made(MemoryTempRoot());
    const Bytes text = TextBytes(6000, 94);
    WriteFile(made / "doc", text);
    WriteFile(made / "right", {'r', 'i', 'g', 'h', 't', '\n'});
    WriteFile(made / "wrong", {'w', 'r', 'o', 'n', 'g', '\n'});
    const CliResult r =
        RunCli({"encrypt", "--cipher", "serpent", "--phrase-file", made / "right", made / "doc"}, env.config.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes encrypted = ReadFile(made / "doc.fe2");
    const Bytes noise = RandomBytes(6000, 95);
    const std::string serpentHint = " It looks like a file encrypted with Serpent.";
    const struct Row {
        const char* what;
        const Bytes* file;
        const char* cipher;
        const char* phrase;
        std::string hint; // empty: no cipher fits
    } rows[] = {{"wrong phrase", &encrypted, "serpent", "wrong", ""},
                {"rc4 for serpent", &encrypted, "rc4", "right", serpentHint},
                {"blowfish for serpent", &encrypted, "blowfish", "right", serpentHint},
                {"rijndael for serpent", &encrypted, "rijndael", "right", serpentHint},
                {"never encrypted", &noise, "serpent", "right", ""}};
    for (const Row& row : rows)
        for (bool deleteSource : {true, false}) {
            SCOPED_TRACE(std::string(row.what) + (deleteSource ? ", delete source" : ""));
            TempDir dir(MemoryTempRoot());
            WriteFile(dir / "doc.fe2", *row.file);
            std::vector<std::string> args{"decrypt", "--cipher", row.cipher, "--phrase-file", made / row.phrase};
            if (deleteSource)
                args.insert(args.end(), {"--delete-source", "--yes"});
            args.push_back(dir / "doc.fe2");
            const CliResult dropped = RunCli(args, env.config.Path());
            EXPECT_EQ(dropped.status, 1);
            EXPECT_EQ(dropped.err, kDoubtWarning + row.hint +
                                       "\nlockwell-cli: the decrypted file was not kept (--keep-doubtful keeps it)\n");
            EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"doc.fe2"}));
            args.insert(args.begin() + 1, "--keep-doubtful");
            const CliResult run = RunCli(args, env.config.Path());
            const std::string doubt = kDoubtWarning + row.hint;
            const std::string decrypted =
                "File decrypted with " + lw::CipherName(lw::cli::CipherIndexFromName(row.cipher));
            EXPECT_TRUE(ReadFile(dir / "doc.fe2") == *row.file) << "the source was touched";
            EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"doc", "doc.fe2"}));
            if (deleteSource) {
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(run.err,
                          doubt + " Wipe \"doc.fe2\" anyway?\n" + decrypted + "\nSource kept: " + doubt + "\n");
            } else {
                EXPECT_EQ(run.status, 0);
                EXPECT_EQ(run.err, decrypted + "\n" + doubt + "\n");
            }
        }

    TempDir dir(MemoryTempRoot());
    WriteFile(dir / "doc.fe2", encrypted);
    const CliResult right = RunCli({"decrypt", "--cipher", "serpent", "--phrase-file", made / "right",
                                    "--delete-source", "--yes", dir / "doc.fe2"},
                                   env.config.Path());
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_EQ(right.err, Printed(dir / "doc.fe2", right.err, "File decrypted with Serpent\n"));
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"doc"});
    EXPECT_TRUE(ReadFile(dir / "doc") == text);
}

// A source the user may read but not write: encrypted all the same, and with
// --delete-source the output is made, the source stays and the run says why.
TEST(SourceSafety, SourceTheUserMayNotWriteIsEncryptedAndKept)
{
    Env env;
    TempDir dir(MemoryTempRoot());
    ASSERT_EQ(::chown(dir.Path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::mkdir((dir / "config").c_str(), 0700), 0);
    ASSERT_EQ(::chown((dir / "config").c_str(), kNobody, kNobody), 0);
    const Bytes text = TextBytes(70000, 96);
    WriteFile(dir / "p", {'p', 'w', '\n'});
    TempDir io;
    ASSERT_EQ(::chmod(io.Path().c_str(), 0755), 0);
    for (bool deleteSource : {false, true}) {
        SCOPED_TRACE(deleteSource ? "delete source" : "keep source");
        WriteFile(dir / "s", text); // root's, 0644: the user may read it only
        ASSERT_EQ(::chmod((dir / "s").c_str(), 0644), 0);
        fsys::remove(dir / "s.fe2");
        std::vector<std::string> args{"encrypt", "--cipher", "rc4", "--phrase-file", dir / "p", dir / "s"};
        if (deleteSource)
            args.insert(args.begin() + 1, {"--delete-source", "--yes"});
        const int status = Finish(StartCli(args, dir / "config", TCliStart().Err(io / "err").As(kNobody)));
        if (status == 125 || status == 127)
            GTEST_SKIP() << "the tool cannot be run as user " << kNobody << " here (status " << status << ")";
        const std::string err = Text(ReadFile(io / "err"));
        struct stat st {};
        ASSERT_EQ(::stat((dir / "s.fe2").c_str(), &st), 0) << err;
        EXPECT_EQ(st.st_uid, kNobody) << "not made by the user";
        EXPECT_TRUE(env.Decrypted(dir / "s.fe2") == text);
        EXPECT_TRUE(ReadFile(dir / "s") == text) << "the source was touched";
        if (deleteSource) {
            EXPECT_EQ(status, 1);
            EXPECT_NE(err.find("File encrypted with RC4\n"), std::string::npos) << err;
            EXPECT_EQ(LastLine(err), "Source kept: Cannot open file \"" + dir / "s" + "\". Permission denied") << err;
        } else {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(err, "File encrypted with RC4\n");
        }
    }
}

TEST(SourceSafety, SourceOnAReadOnlyFileSystemIsEncryptedAndKept)
{
    Env env;
    TempDir dir(MemoryTempRoot());
    const Bytes text = TextBytes(70000, 97);
    ReadOnlyMount medium(dir / "ro", text);
    if (!medium.Error().empty())
        GTEST_SKIP() << "no read-only file system can be mounted here: " << medium.Error();
    ASSERT_EQ(::access((dir / "ro/s").c_str(), W_OK), -1);
    ASSERT_EQ(errno, EROFS);
    fsys::create_directory(dir / "out");
    for (bool deleteSource : {false, true}) {
        SCOPED_TRACE(deleteSource ? "delete source" : "keep source");
        fsys::remove(dir / "out/s.fe2");
        std::vector<std::string> args{"encrypt",   "--cipher",      "rc4",      "--dest",
                                      dir / "out", "--phrase-file", env.phrase, dir / "ro/s"};
        if (deleteSource)
            args.insert(args.begin() + 1, {"--delete-source", "--yes"});
        const CliResult r = RunCli(args, env.config.Path());
        EXPECT_TRUE(env.Decrypted(dir / "out/s.fe2") == text);
        EXPECT_TRUE(ReadFile(dir / "ro/s") == text);
        if (deleteSource) {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("File encrypted with RC4\n"), std::string::npos) << r.err;
            EXPECT_EQ(LastLine(r.err), "Source kept: \"s\" cannot be deleted: its file system is read-only") << r.err;
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "File encrypted with RC4\n");
        }
    }
}
