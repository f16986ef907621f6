// lockwell-cli with several FILEs: one job each under one key phrase, each line after the
// file's path, the worst status; a usage error runs nothing; Ctrl+C starts no more files.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "../jobs/JobDoubles.h"
#include "CliRun.h"
#include "TestUtil.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

const Bytes kPhrase{'s', 'e', 'v', 'e', 'r', 'a', 'l', '\n'};

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(CliSeveralFiles, MixedOutcomesEachSayTheirOwnAndTheWorstStatusWins)
{
    TempDir dir;
    fsys::create_directory(dir / "out");
    WriteFile(dir / "good", TextBytes(4000, 71));
    WriteFile(dir / "wrong", TextBytes(3000, 72));
    WriteFile(dir / "phrase", kPhrase);
    WriteFile(dir / "other", {'o'});
    ASSERT_EQ(RunCli({"encrypt", "--phrase-file", dir / "phrase", dir / "good"}, dir.Path()).status, 0);
    ASSERT_EQ(RunCli({"encrypt", "--compress", "--phrase-file", dir / "other", dir / "wrong"}, dir.Path()).status, 0);

    const CliResult r = RunCli({"decrypt", "--dest", dir / "out", "--phrase-file", dir / "phrase", dir / "good.fe2",
                                dir / "missing.fe2", dir / "wrong.fez"},
                               dir.Path());
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string start =
        dir / "good.fe2: File decrypted with Blowfish\n" + dir / "missing.fe2: File IO error: Cannot open file";
    ASSERT_EQ(r.err.rfind(start, 0), 0u) << r.err;
    EXPECT_EQ(
        r.err.substr(r.err.find('\n', start.size()) + 1),
        dir / "wrong.fez: File IO error: Wrong key phrase or cipher: the file does not decrypt to compressed data.\n");
    EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{"good"});
    EXPECT_TRUE(ReadFile(dir / "out/good") == TextBytes(4000, 71));

    // A failure before a success still fails the run, each naming its file and why.
    WriteFile(dir / "a.fe2", {'o', 'l', 'd'});
    const CliResult w = RunCli({"wipe", "--yes", dir / "a.fe2", dir / "out", dir / "good"}, dir.Path());
    EXPECT_EQ(w.status, 1);
    EXPECT_NE(w.err.find("\n" + dir / "out: File NOT deleted\n" + dir / "out: "), std::string::npos) << w.err;
    EXPECT_EQ(Count(w.err, ": File deleted\n"), 2u) << w.err;
    EXPECT_EQ(w.err.substr(w.err.size() - (dir / "good: File deleted\n").size()), dir / "good: File deleted\n");
}

TEST(CliSeveralFiles, AUsageErrorAnywhereRunsNothing)
{
    TempDir dir;
    WriteFile(dir / "phrase", kPhrase);
    for (const char* name : {"a", "a.fe2", "noext"})
        WriteFile(dir / name, TextBytes(1000, 74));
    const struct {
        std::vector<std::string> args;
        std::string usage; // the command whose usage the error points to
    } rows[] = {
        {{"decrypt", "--phrase-file", dir / "phrase", dir / "a.fe2", dir / "noext"}, "decrypt"},
        {{"encrypt", "--phrase-file", dir / "phrase", dir / "a", "--cipher", "des", dir / "noext"}, "encrypt"},
        {{"wipe", "--yes", dir / "a", dir / "noext", "--dest", dir.Path()}, "wipe"},
    };
    for (const auto& row : rows) {
        const CliResult r = RunCli(row.args, dir.Path());
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err.rfind("lockwell-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "Try 'lockwell-cli " + row.usage + " --help'.\n") << r.err;
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a", "a.fe2", "noext", "phrase"}));
        EXPECT_TRUE(ReadFile(dir / "a") == TextBytes(1000, 74));
    }
}

TEST(CliSeveralFiles, OnePhrasePromptOnATerminal)
{
    TempDir dir;
    WriteFile(dir / "f0", TextBytes(3000, 75));
    WriteFile(dir / "f1", TextBytes(3001, 76));
    const CliResult r = RunCliOnTerminal({"encrypt", "--quiet", dir / "f0", dir / "f1"}, dir.Path(),
                                         {{"Key phrase: ", "typed once"}, {"Key phrase again: ", "typed once"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Count(r.out, "Key phrase"), 2u) << r.out;
    WriteFile(dir / "phrase", {'t', 'y', 'p', 'e', 'd', ' ', 'o', 'n', 'c', 'e'});
    fsys::create_directory(dir / "back");
    EXPECT_EQ(
        RunCli({"decrypt", "--dest", dir / "back", "--phrase-file", dir / "phrase", dir / "f0.fe2", dir / "f1.fe2"},
               dir.Path())
            .status,
        0);
    EXPECT_TRUE(ReadFile(dir / "back/f0") == TextBytes(3000, 75));
    EXPECT_TRUE(ReadFile(dir / "back/f1") == TextBytes(3001, 76));
}

// Ctrl+C typed at the first file's question, before its work: sure to stop it, no timing.
TEST(CliSeveralFiles, CtrlCLeavesTheRemainingFilesUnstarted)
{
    const struct {
        std::vector<std::string> args;
        const char* question;
        const char* answer;             // after Ctrl+C: the one that lets the job start
        std::vector<std::string> lines; // the first file's last lines, after its path
    } rows[] = {
        {{"encrypt", "--quiet", "--phrase-file"}, "Overwrite/New name/Stop [o/N/s]? ", "\x03", {"Stopped"}},
        {{"wipe", "--quiet"}, "OK/Cancel [y/N]? ", "\x03y", {"File NOT deleted", "stopped"}},
    };
    for (const auto& row : rows) {
        TempDir dir;
        WriteFile(dir / "phrase", kPhrase);
        WriteFile(dir / "a", RandomBytes(1 << 20, 76));
        WriteFile(dir / "a.fe2", {'o', 'l', 'd'});
        WriteFile(dir / "b", TextBytes(100, 77));
        std::vector<std::string> args = row.args;
        if (args.back() == "--phrase-file")
            args.push_back(dir / "phrase");
        args.insert(args.end(), {dir / "a", dir / "b", dir / "b"});
        const CliResult r = RunCliOnTerminal(args, dir.Path(), {{row.question, row.answer}});
        EXPECT_EQ(r.status, 1) << r.out;
        std::string expected;
        for (const std::string& line : row.lines)
            expected += dir / "a: " + line + "\r\n";
        expected += "Stopped: 2 files not started\r\n";
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), expected.size())), expected) << r.out;
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a", "a.fe2", "b", "phrase"}));
        EXPECT_EQ(ReadFile(dir / "a").size(), 1u << 20);
        EXPECT_TRUE(ReadFile(dir / "b") == TextBytes(100, 77));
    }
}

// A run never replaces an output it wrote itself (whose source may be wiped by then), nor
// takes the file its phrase came from as a FILE: the file in question fails, its source kept.
TEST(CliSeveralFiles, ARunKeepsItsOwnOutputsAndItsPhraseFile)
{
    const Bytes first = TextBytes(2000, 81), second = TextBytes(2100, 82);
    const struct {
        const char* name;
        std::vector<std::string> args; // before the FILEs
        std::vector<std::string> files;
        std::string refused; // the FILE that fails, and the line after its path
        std::string kept;    // a file the run must leave as it was made
    } rows[] = {
        {"two sources, one output name",
         {"encrypt", "--delete-source", "--yes", "--overwrite", "--phrase-file", "key", "--dest", "out"},
         {"d1/f", "d2/f"},
         "d2/f: \"out/f.fe2\" was written earlier in this run: it is not replaced, and the source is kept",
         "d2/f"},
        {"a .fez and a .fe2 of one name",
         {"decrypt", "--overwrite", "--delete-source", "--yes", "--phrase-file", "key"},
         {"a.fez", "a.fe2"},
         "a.fe2: \"a\" was written earlier in this run: it is not replaced, and the source is kept",
         "a.fe2"},
        {"the phrase file among the FILEs",
         {"encrypt", "--delete-source", "--yes", "--phrase-file", "key"},
         {"key", "d1/f"},
         "key: the key phrase was read from this file: it is not taken as a FILE of the same run",
         "key"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        fsys::create_directories(dir / "d1");
        fsys::create_directories(dir / "d2");
        fsys::create_directories(dir / "out");
        WriteFile(dir / "key", kPhrase);
        WriteFile(dir / "d1/f", first);
        WriteFile(dir / "d2/f", second);
        ASSERT_EQ(RunCli({"encrypt", "--compress", "--phrase-file", "key", "d1/f"}, dir.Path(), {}, dir.Path()).status,
                  0);
        fsys::rename(dir / "d1/f.fez", dir / "a.fez");
        ASSERT_EQ(RunCli({"encrypt", "--phrase-file", "key", "d2/f"}, dir.Path(), {}, dir.Path()).status, 0);
        fsys::rename(dir / "d2/f.fe2", dir / "a.fe2");
        const Bytes kept = ReadFile(dir / row.kept);

        std::vector<std::string> args = row.args;
        args.insert(args.end(), row.files.begin(), row.files.end());
        const CliResult r = RunCli(args, dir.Path(), {}, dir.Path());
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(row.refused + "\n"), std::string::npos) << r.err;
        EXPECT_TRUE(ReadFile(dir / row.kept) == kept);
        // The first FILE's job went through: its output holds its source's content.
        const std::string output = row.args[0] == "decrypt" ? "a" : row.kept == "key" ? "d1/f.fe2" : "out/f.fe2";
        fsys::create_directories(dir / "back");
        if (row.args[0] == "decrypt") {
            EXPECT_TRUE(ReadFile(dir / output) == first);
        } else {
            EXPECT_EQ(RunCli({"decrypt", "--phrase-file", "key", "--dest", "back", output}, dir.Path(), {}, dir.Path())
                          .status,
                      0);
            EXPECT_TRUE(ReadFile(dir / "back/f") == first);
        }
    }
}
