#include <filesystem>

#include <gtest/gtest.h>

#include "../jobs/JobDoubles.h"
#include "../jobs/JobRows.h"
#include "../jobs/Reference.h"
#include "CliRun.h"
#include "TestUtil.h"
#include "jobs/Plausibility.h"
#include "jobs/Jobs.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

const char* kNames[] = {"RC4", "blowfish", "SERPENT", "Rijndael"};

// Decrypts with the jobs directly, to tell which cipher and phrase the tool used.
Bytes DecryptWithJob(const std::string& source, int cipher, const std::string& phrase, const std::string& dest)
{
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    context.KeepDoubtful = true;
    lw::TJobOptions options = JobOptions(source, phrase, cipher);
    options.DestinationFolder = dest;
    lw::RunDecryptJob(options, context);
    // A short output cannot be told from noise: the warning may follow.
    EXPECT_TRUE(!ask.boxes.empty() && ask.boxes[0].text == "File decrypted");
    EXPECT_TRUE(ask.boxes.size() == 1 || (ask.boxes.size() == 2 && ask.boxes[1].text == kDoubtWarning));
    EXPECT_EQ(context.FailureReason, "");
    return ReadFile(dest + "/" + fsys::path(source).stem().string());
}

// The tool's side of a round trip: its options, output lines and files. The job matrix
// (every cipher, format and size) runs in tests/jobs; here each cipher and format passes
// once through the program, at the sizes where its output differs (empty, too short to
// judge, a block and a piece boundary).
std::vector<RoundTripRow> ToolRoundTrips()
{
    return {{0, false, 15}, {1, false, 16}, {2, false, 8192}, {3, false, 0},
            {0, true, 0},   {1, true, 1},   {2, true, 8193},  {3, true, 17}};
}

class CliRoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

} // namespace

TEST_P(CliRoundTrip, EncryptThenDecryptGivesBackTheFile)
{
    const RoundTripRow& row = GetParam();
    TempDir dir;
    fsys::create_directory(dir / "back");
    const Bytes data = TextBytes(row.size, static_cast<uint32_t>(row.size ^ 0x5A5A));
    WriteFile(dir / "file.bin", data);
    WriteFile(dir / "phrase", {'o', 'p', 'e', 'n', ' ', 's', '\n', 'x'});
    // Names in any letter case on one side, indices on the other.
    std::vector<std::string> encrypt{"encrypt", "--cipher", kNames[row.cipher], "--phrase-file", dir / "phrase"};
    if (row.compress)
        encrypt.push_back("--compress");
    encrypt.push_back(dir / "file.bin");
    const CliResult e = RunCli(encrypt, dir.Path());
    ASSERT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(e.err, "File encrypted with " + lw::CipherName(row.cipher) + "\n");
    const std::string encrypted = dir / (row.compress ? "file.bin.fez" : "file.bin.fe2");
    const size_t length = ReadFile(encrypted).size();
    if (!row.compress) {
        EXPECT_EQ(length, row.size);
    } else if (row.size == 0) {
        EXPECT_EQ(length, 14u);
    }

    // A file too short to judge looks like noise: kept only when asked for.
    std::vector<std::string> decrypt{
        "decrypt", "--cipher=" + std::to_string(row.cipher), "--dest", dir / "back", "--phrase-file", dir / "phrase",
        encrypted};
    if (TooShortToJudge(row.compress, row.size))
        decrypt.insert(decrypt.begin() + 1, "--keep-doubtful");
    const CliResult d = RunCli(decrypt, dir.Path());
    ASSERT_EQ(d.status, 0) << d.err;
    const std::string decrypted = "File decrypted with " + lw::CipherName(row.cipher) + "\n";
    EXPECT_EQ(d.err, TooShortToJudge(row.compress, row.size) ? decrypted + kDoubtWarning + "\n" : decrypted);
    EXPECT_TRUE(ReadFile(dir / "back/file.bin") == data);
    // The same file as the jobs make, under the phrase's first line.
    fsys::create_directory(dir / "job");
    EXPECT_TRUE(DecryptWithJob(encrypted, row.cipher, "open s", dir / "job") == data);
}

INSTANTIATE_TEST_SUITE_P(AllCiphers, CliRoundTrip, ::testing::ValuesIn(ToolRoundTrips()),
                         [](const ::testing::TestParamInfo<RoundTripRow>& entry) {
                             return std::string(kNames[entry.param.cipher]) +
                                    (entry.param.compress ? "_fez_" : "_fe2_") + std::to_string(entry.param.size);
                         });

TEST(Cli, OutputMatchesTheIndependentReference)
{
    for (int cipher : {0, 1, 3})
        for (bool compress : {false, true}) {
            TempDir dir;
            const Bytes data = TextBytes(2 * 8192 + 77, static_cast<uint32_t>(cipher * 2 + compress));
            WriteFile(dir / "f", data);
            std::vector<std::string> args{"encrypt", "--cipher", std::to_string(cipher), "--phrase-file", "-"};
            if (compress)
                args.push_back("--compress");
            args.push_back(dir / "f");
            // An editor's byte-order mark before the phrase is not part of it.
            const Bytes phrase =
                compress ? Bytes{0xEF, 0xBB, 0xBF, 'K', 'e', 'y', '\n'} : Bytes{'K', 'e', 'y', '\r', '\n', 'z'};
            const CliResult r = RunCli(args, dir.Path(), phrase);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(ReadFile(dir / (compress ? "f.fez" : "f.fe2")) ==
                        ReferenceOutput(cipher, "Key", data, compress))
                << "cipher " << cipher << " compress " << compress;
        }
}

// The tool's own default, whatever the window saved: a script decrypts tomorrow what it
// encrypted today.
TEST(Cli, DefaultCipherIsBlowfishWhateverTheWindowSaved)
{
    struct Row {
        const char* settings; // nullptr: no settings file
        int expected;
    };
    const Row rows[] = {{nullptr, 1},
                        {"[Options]\r\nCipher=3\r\n", 1},
                        {"[options]\r\ncipher = 0\r\n", 1},
                        {"[Options]\r\nCipher=7\r\n", 1},
                        {"[Other]\r\nCipher=2\r\n", 1}};
    for (const Row& row : rows) {
        TempDir dir;
        if (row.settings) {
            fsys::create_directories(dir / "config/lockwell");
            const std::string text = row.settings;
            WriteFile(dir / "config/lockwell/lockwell.ini", Bytes(text.begin(), text.end()));
        }
        WriteFile(dir / "f", TextBytes(100, 1));
        WriteFile(dir / "p", {'p'});
        ASSERT_EQ(RunCli({"encrypt", "--phrase-file", dir / "p", dir / "f"}, dir / "config").status, 0);
        fsys::create_directory(dir / "out");
        EXPECT_TRUE(DecryptWithJob(dir / "f.fe2", row.expected, "p", dir / "out") == TextBytes(100, 1))
            << (row.settings ? row.settings : "no settings");
    }
}

TEST(Cli, ExistingOutputIsAnsweredByTheOptionsElseLeftAlone)
{
    struct Row {
        std::vector<std::string> flags;
        int status;
        const char* outputName; // where the new output lands
        const char* lastLine;
    };
    const Row rows[] = {
        {{}, 1, nullptr, "lockwell-cli: stopped at the overwrite prompt; nothing written\n"},
        {{"--overwrite"}, 0, "d.txt.fe2", "File encrypted with Blowfish\n"},
        {{"--new-name"}, 0, "d.txt1.fe2", "File encrypted with Blowfish\n"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        WriteFile(dir / "d.txt", TextBytes(500, 2));
        WriteFile(dir / "d.txt.fe2", {'o', 'l', 'd'});
        WriteFile(dir / "p", {'p'});
        std::vector<std::string> args{"encrypt", "--phrase-file", dir / "p"};
        args.insert(args.end(), row.flags.begin(), row.flags.end());
        args.push_back(dir / "d.txt");
        const CliResult r = RunCli(args, dir.Path());
        EXPECT_EQ(r.status, row.status) << r.err;
        // The tool's own question, naming the options a script gives; not put once they answered it.
        EXPECT_EQ(r.err.find("\"" + dir / "d.txt.fe2" +
                             "\" exists: overwrite it, save under a new name, or stop? (--overwrite or --new-name "
                             "answers without asking)\n"),
                  row.flags.empty() ? 0u : std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - std::string(row.lastLine).size()), row.lastLine);
        if (!row.outputName) {
            EXPECT_EQ(ReadFile(dir / "d.txt.fe2"), (Bytes{'o', 'l', 'd'}));
            EXPECT_EQ(std::distance(fsys::directory_iterator(dir.Path()), fsys::directory_iterator()), 3);
        } else {
            EXPECT_EQ(ReadFile(dir / row.outputName).size(), 500u);
        }
        if (row.flags == std::vector<std::string>{"--new-name"}) {
            // Told with the result, once the file is there.
            EXPECT_TRUE(r.err.ends_with("File saved as:" + (dir / "d.txt1.fe2") + "\nFile encrypted with Blowfish\n"))
                << r.err;
            EXPECT_EQ(ReadFile(dir / "d.txt.fe2"), (Bytes{'o', 'l', 'd'}));
        }
    }
    // A job that fails after its new name was chosen names no file.
    TempDir dir;
    WriteFile(dir / "d.txt", TextBytes(500, 2));
    WriteFile(dir / "p", {'p'});
    WriteFile(dir / "q", {'q'});
    ASSERT_EQ(RunCli({"encrypt", "--compress", "--phrase-file", dir / "p", dir / "d.txt"}, dir.Path()).status, 0);
    const CliResult r = RunCli({"decrypt", "--new-name", "--phrase-file", dir / "q", dir / "d.txt.fez"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("File saved as:"), std::string::npos) << r.err;
}

TEST(Cli, WipesNeedYesOrATerminal)
{
    TempDir dir;
    WriteFile(dir / "w", TextBytes(5000, 3));
    CliResult r = RunCli({"wipe", dir / "w"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, ToolWipeLines(dir / "w", false, Warned(r.err)) + "File NOT deleted\nthe wipe was not confirmed\n");
    EXPECT_TRUE(ReadFile(dir / "w") == TextBytes(5000, 3));
    r = RunCli({"wipe", "--yes", dir / "w"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, ToolWipeLines(dir / "w", true, Warned(r.err)) + "File deleted\n") << "--yes answered it";
    EXPECT_FALSE(fsys::exists(dir / "w"));
    r = RunCli({"wipe", "--yes", dir / "w"}, dir.Path());
    EXPECT_EQ(r.status, 1);

    // Delete-source: declined without a terminal, the output is written but the run
    // fails, saying why the source stayed.
    WriteFile(dir / "s", TextBytes(100, 4));
    WriteFile(dir / "p", {'p'});
    r = RunCli({"encrypt", "--delete-source", "--phrase-file", dir / "p", dir / "s"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File encrypted with Blowfish\nSource kept: "), std::string::npos) << r.err;
    EXPECT_TRUE(fsys::exists(dir / "s"));
    r = RunCli({"decrypt", "--delete-source", "--yes", "--new-name", "--phrase-file", dir / "p", dir / "s.fe2"},
               dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fsys::exists(dir / "s.fe2"));
    EXPECT_TRUE(ReadFile(dir / "s1") == TextBytes(100, 4));
}

TEST(Cli, FailureNamesItsCauseAndLeavesNothing)
{
    TempDir dir;
    WriteFile(dir / "x", TextBytes(3000, 5));
    WriteFile(dir / "p", {'r', 'i', 'g', 'h', 't'});
    WriteFile(dir / "q", {'w', 'r', 'o', 'n', 'g'});
    ASSERT_EQ(RunCli({"encrypt", "--compress", "--phrase-file", dir / "p", dir / "x"}, dir.Path()).status, 0);
    fsys::remove(dir / "x");
    CliResult r = RunCli({"decrypt", "--phrase-file", dir / "q", dir / "x.fez"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File IO error: Wrong key phrase or cipher: the file does not decrypt to compressed data.\n");
    r = RunCli({"decrypt", "--phrase-file", dir / "p", dir / "missing.fe2"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("File IO error: Cannot open file", 0), 0u) << r.err;
    r = RunCli({"decrypt", "--phrase-file", dir / "nope", dir / "x.fez"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::distance(fsys::directory_iterator(dir.Path()), fsys::directory_iterator()), 3);
}

TEST(Cli, BadUsage)
{
    TempDir dir;
    WriteFile(dir / "f.fe2", {1});
    const std::vector<std::vector<std::string>> rows = {
        {},
        {"shred", "f"},
        {"encrypt"},
        {"encrypt", "--cipher", "des", "f"},
        {"encrypt", "--cipher", "4", "f"},
        {"encrypt", "--cipher"},
        {"decrypt", "a.fe2", "b", "c.fe2"}, // one FILE of several has no extension
        {"encrypt", "--phrase", "secret", "f"},
        {"encrypt", "--overwrite", "--new-name", "f"},
        {"encrypt", "--yes=1", "f"},
        {"decrypt", "--compress", "f.fe2"},
        {"decrypt", "noext"},
        {"wipe", "--cipher", "rc4", "f"},
        {"wipe", "--dest", "/tmp", "f"},
        {"encrypt", dir / "f.fe2"}, // no phrase file and no terminal to ask on
    };
    for (const auto& args : rows) {
        const CliResult r = RunCli(args, dir.Path());
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.status, 2) << joined << r.err;
        EXPECT_EQ(r.err.rfind("lockwell-cli: ", 0), 0u) << joined << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(std::distance(fsys::directory_iterator(dir.Path()), fsys::directory_iterator()), 1);
    const CliResult help = RunCli({"decrypt", "--help"}, dir.Path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: lockwell-cli decrypt", 0), 0u);
}

TEST(Cli, TerminalPhraseIsAskedTwiceWithoutEcho)
{
    TempDir dir;
    WriteFile(dir / "t.txt", TextBytes(1000, 6));
    CliResult r = RunCliOnTerminal({"encrypt", "--cipher", "rijndael", dir / "t.txt"}, dir.Path(),
                                   {{"Key phrase: ", "hunter2 x"}, {"Key phrase again: ", "hunter2 x"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("hunter2"), std::string::npos) << "the phrase was echoed: " << r.out;
    fsys::create_directory(dir / "o");
    EXPECT_TRUE(DecryptWithJob(dir / "t.txt.fe2", 3, "hunter2 x", dir / "o") == TextBytes(1000, 6));

    fsys::remove(dir / "t.txt.fe2");
    r = RunCliOnTerminal({"encrypt", dir / "t.txt"}, dir.Path(),
                         {{"Key phrase: ", "one"}, {"Key phrase again: ", "two"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("the two key phrases differ"), std::string::npos) << r.out;
    EXPECT_FALSE(fsys::exists(dir / "t.txt.fe2"));

    // Decryption asks once.
    fsys::rename(dir / "o/t.txt", dir / "o/t.txt.x");
    r = RunCliOnTerminal({"decrypt", "--keep-doubtful", "--cipher", "3", dir / "o/t.txt.x"}, dir.Path(),
                         {{"Key phrase: ", "p"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("again"), std::string::npos);
}

TEST(Cli, TerminalAnswersThePrompts)
{
    const std::string kOverwritePrompt = "Overwrite/New name/Stop [o/N/s]? ", kWipePrompt = "OK/Cancel [y/N]? ";
    TempDir dir;
    WriteFile(dir / "a", TextBytes(300, 7));
    WriteFile(dir / "a.fe2", {'o', 'l', 'd'});
    WriteFile(dir / "p", {'p'});
    CliResult r = RunCliOnTerminal({"encrypt", "--delete-source", "--phrase-file", dir / "p", dir / "a"}, dir.Path(),
                                   {{kOverwritePrompt, "maybe"}, {kOverwritePrompt, "o"}, {kWipePrompt, "C"}});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Source kept: "), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir / "a.fe2").size(), 300u);
    EXPECT_TRUE(fsys::exists(dir / "a"));

    // Enter takes the default button: Yes (a new name) for the overwrite prompt, Cancel for
    // a wipe, which y confirms.
    r = RunCliOnTerminal({"encrypt", "--delete-source", "--phrase-file", dir / "p", dir / "a"}, dir.Path(),
                         {{kOverwritePrompt, ""}, {kWipePrompt, ""}});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Source kept: the wipe was not confirmed"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir / "a1.fe2").size(), 300u);
    r = RunCliOnTerminal({"encrypt", "--delete-source", "--phrase-file", dir / "p", dir / "a"}, dir.Path(),
                         {{kOverwritePrompt, ""}, {kWipePrompt, "y"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(dir / "a2.fe2").size(), 300u);
    EXPECT_FALSE(fsys::exists(dir / "a"));
}
