// Awkward and hostile names on the command line and in the window's jobs: names that
// are merely unusual work like any other; names that cannot work give a clear message
// and leave the folder exactly as it was.
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "../jobs/JobDoubles.h"
#include "CliRun.h"
#include "TestUtil.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

// Every entry under root, symlinks as their target text, so nothing written goes unseen.
std::map<std::string, std::string> Tree(const std::string& root)
{
    std::map<std::string, std::string> all;
    for (auto it = fsys::recursive_directory_iterator(root); it != fsys::recursive_directory_iterator(); ++it) {
        const fsys::directory_entry& entry = *it;
        const std::string path = entry.path().string();
        if (path.size() > PATH_MAX / 2) // deeper than any name the programs can reach
            it.disable_recursion_pending();
        if (entry.is_symlink()) {
            all[path] = "-> " + fsys::read_symlink(entry.path()).string();
            it.disable_recursion_pending();
        } else if (entry.is_regular_file()) {
            const Bytes bytes = ReadFile(path);
            all[path] = std::string(bytes.begin(), bytes.end());
        } else {
            all[path] = entry.is_directory() ? "dir" : "other";
        }
    }
    return all;
}

const Bytes kContent = TextBytes(20000, 31);

// A folder nested until its path is longer than PATH_MAX, with a file at the bottom;
// returns the file's path relative to root.
std::string DeepFile(const std::string& root)
{
    std::string relative;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    const std::string part(200, 'd');
    while (root.size() + relative.size() <= PATH_MAX + 100) {
        EXPECT_EQ(::mkdirat(fd, part.c_str(), 0700), 0);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        relative += part + "/";
    }
    const int file = ::openat(fd, "deep.bin", O_WRONLY | O_CREAT, 0600);
    EXPECT_EQ(::write(file, kContent.data(), kContent.size()), static_cast<ssize_t>(kContent.size()));
    ::close(file);
    ::close(fd);
    return relative + "deep.bin";
}

struct Refused {
    std::string name;
    // Makes what the case needs in dir; returns the command line after "lockwell-cli".
    std::function<std::vector<std::string>(const TempDir& dir, const std::string& phrase)> arrange;
    int status;
    std::string message;     // part of what the tool says
    bool viaJob = true;      // the window's job takes the same FILE and fails the same way
    std::string reason = ""; // a wipe's line after "File NOT deleted"
};

std::ostream& operator<<(std::ostream& out, const Refused& r)
{
    return out << r.name;
}

std::vector<std::string> Encrypt(const std::string& phrase, const std::string& file)
{
    return {"encrypt", "--cipher", "serpent", "--phrase-file", phrase, file};
}

const std::vector<Refused> kRefused = {
    {"missing file", [](const TempDir& d, const std::string& p) { return Encrypt(p, d / "absent"); }, 1,
     "No such file or directory"},
    {"directory",
     [](const TempDir& d, const std::string& p) {
         fsys::create_directory(d / "folder");
         return Encrypt(p, d / "folder");
     },
     1, "Is a directory"},
    {"directory to decrypt",
     [](const TempDir& d, const std::string& p) {
         fsys::create_directory(d / "folder.fe2");
         return std::vector<std::string>{"decrypt", "--cipher", "rc4", "--phrase-file", p, d / "folder.fe2"};
     },
     1, "Is a directory"},
    {"fifo",
     [](const TempDir& d, const std::string& p) {
         EXPECT_EQ(::mkfifo((d / "pipe").c_str(), 0600), 0);
         return Encrypt(p, d / "pipe");
     },
     1, "Cannot open file"},
    {"fifo to decrypt",
     [](const TempDir& d, const std::string& p) {
         EXPECT_EQ(::mkfifo((d / "pipe.fez").c_str(), 0600), 0);
         return std::vector<std::string>{"decrypt", "--cipher", "rc4", "--phrase-file", p, d / "pipe.fez"};
     },
     1, "Cannot open file"},
    {"symlink loop",
     [](const TempDir& d, const std::string& p) {
         fsys::create_symlink("loop-b", d / "loop-a");
         fsys::create_symlink("loop-a", d / "loop-b");
         return Encrypt(p, d / "loop-a");
     },
     1, "Too many levels of symbolic links"},
    {"name over NAME_MAX",
     [](const TempDir& d, const std::string& p) { return Encrypt(p, d / std::string(NAME_MAX + 1, 'n')); }, 1,
     "File name too long"},
    {"output name over NAME_MAX",
     [](const TempDir& d, const std::string& p) {
         const std::string name(NAME_MAX - 2, 'o');
         WriteFile(d / name, kContent);
         return Encrypt(p, d / name);
     },
     1, "File name too long"},
    {"path over PATH_MAX", [](const TempDir& d, const std::string& p) { return Encrypt(p, d / DeepFile(d.Path())); }, 1,
     "File name too long"},
    {"output is a directory",
     [](const TempDir& d, const std::string& p) {
         WriteFile(d / "f", kContent);
         fsys::create_directory(d / "f.fe2");
         return Encrypt(p, d / "f");
     },
     1, "Is a directory"},
    {"destination is a file",
     [](const TempDir& d, const std::string& p) {
         WriteFile(d / "f", kContent);
         WriteFile(d / "not-a-folder", {});
         return std::vector<std::string>{"encrypt",          "--cipher",      "rc4", "--dest",
                                         d / "not-a-folder", "--phrase-file", p,     d / "f"};
     },
     1, "Not a directory", false},
    {"destination missing",
     [](const TempDir& d, const std::string& p) {
         WriteFile(d / "f", kContent);
         return std::vector<std::string>{"encrypt",     "--cipher",      "rc4", "--dest",
                                         d / "nowhere", "--phrase-file", p,     d / "f"};
     },
     1, "No such file or directory", false},
    {"leading dash without --",
     [](const TempDir& d, const std::string& p) {
         WriteFile(d / "-f", kContent);
         return std::vector<std::string>{"encrypt", "--phrase-file", p, "-f"};
     },
     2, "unknown option '-f'", false},
    {"decrypt a name without extension",
     [](const TempDir& d, const std::string& p) {
         WriteFile(d / "noext", kContent);
         return std::vector<std::string>{"decrypt", "--phrase-file", p, d / "noext"};
     },
     2, "has no extension to remove", false},
    {"phrase file is a directory",
     [](const TempDir& d, const std::string&) {
         WriteFile(d / "f", kContent);
         return Encrypt(d.Path(), d / "f");
     },
     1, "cannot read the key phrase", false},
    {"wipe a directory",
     [](const TempDir& d, const std::string&) {
         fsys::create_directory(d / "folder");
         WriteFile(d / "folder/inside", kContent);
         return std::vector<std::string>{"wipe", "--yes", d / "folder"};
     },
     1, "File NOT deleted", false, "\"folder\" is a folder: only a file can be wiped"},
    {"encrypt a fifo",
     [](const TempDir& d, const std::string& p) {
         EXPECT_EQ(::mkfifo((d / "pipe").c_str(), 0600), 0);
         return std::vector<std::string>{"encrypt", "--phrase-file", p, d / "pipe"};
     },
     1, "/pipe\". Not a regular file", false},
    {"wipe a fifo",
     [](const TempDir& d, const std::string&) {
         EXPECT_EQ(::mkfifo((d / "pipe").c_str(), 0600), 0);
         return std::vector<std::string>{"wipe", "--yes", d / "pipe"};
     },
     1, "File NOT deleted", false, "\"pipe\" is a named pipe: only a file can be wiped"},
    {"wipe a symlink loop",
     [](const TempDir& d, const std::string&) {
         fsys::create_symlink("loop-b", d / "loop-a");
         fsys::create_symlink("loop-a", d / "loop-b");
         return std::vector<std::string>{"wipe", "--yes", d / "loop-a"};
     },
     1, "File NOT deleted", false, "\"loop-a\" is a symbolic link: only the file itself can be wiped"},
};

// The window opens on any path; the job it starts fails with its one box.
void RunJobOn(const std::vector<std::string>& args, const std::string& message, const std::string& folder,
              const std::map<std::string, std::string>& before)
{
    lw::TJobOptions options;
    options.SourcePath = args.back();
    options.KeyPhrase = "pw";
    options.CipherIndex = 2;
    options.DeleteSource = true;
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    EXPECT_TRUE(args[0] == "encrypt" ? lw::RunEncryptJob(options, context) : lw::RunDecryptJob(options, context));
    EXPECT_EQ(ask.boxes, (std::vector<Box>{{lw::TMsgDlgType::mtError, "File IO error", lw::mbOK}}));
    EXPECT_NE(context.FailureReason.find(message), std::string::npos) << context.FailureReason;
    EXPECT_TRUE(Tree(folder) == before) << "the job wrote something";
}

class RefusedNames : public ::testing::TestWithParam<Refused> {};

} // namespace

TEST_P(RefusedNames, ClearMessageAndNothingWritten)
{
    const Refused& r = GetParam();
    TempDir config;
    WriteFile(config / "phrase", {'p', 'w', '\n'});
    TempDir dir;
    const std::vector<std::string> args = r.arrange(dir, config / "phrase");
    const auto before = Tree(dir.Path());
    const CliResult result = RunCli(args, config.Path(), {}, dir.Path());
    EXPECT_EQ(result.status, r.status) << result.err;
    // Jobs say it in one line; bad usage adds where the usage is; a wipe ends with its result.
    const std::string first = result.err.substr(0, result.err.find('\n') + 1);
    if (args[0] == "wipe") {
        // --yes answered the question: only what the file system may keep comes before the result.
        EXPECT_EQ(result.err,
                  ToolWipeLines(args.back(), true, Warned(result.err)) + "File NOT deleted\n" + r.reason + "\n");
    } else if (r.status == 2) {
        EXPECT_EQ(result.err.substr(first.size()), "Try 'lockwell-cli " + args[0] + " --help'.\n");
    } else {
        EXPECT_EQ(first, result.err) << "more than one line: " << result.err;
    }
    EXPECT_NE((args[0] == "wipe" ? result.err : first).find(r.message), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
    EXPECT_TRUE(Tree(dir.Path()) == before) << "something was written";
    if (r.viaJob) {
        RunJobOn(args, r.message, dir.Path(), before);
    }
    // A tree deeper than PATH_MAX is beyond what a path-based removal can reach.
    if (fsys::exists(dir / std::string(200, 'd')))
        RunProgram({"rm", "-rf", dir / std::string(200, 'd')});
}

INSTANTIATE_TEST_SUITE_P(Cli, RefusedNames, ::testing::ValuesIn(kRefused), RowName());

// Unusual but valid names round-trip through the tool and through the window's jobs.
TEST(OddNames, EncryptAndDecryptUnderTheirOwnNames)
{
    const std::vector<std::string> names = {
        "two  blanks and a tab\t.txt",
        "quote's \"double\".txt",
        "-leading-dash",
        "new\nline.doc",
        std::string("bytes \xff\xfe\x80 not utf-8.bin"),
        "back\\slash *?[x] $HOME `x`.txt",
        " leading blank",
        std::string(NAME_MAX - 4, 'l'), // the output's name is exactly NAME_MAX long
    };
    TempDir config;
    WriteFile(config / "phrase", {'p', 'w'});
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        for (bool compress : {false, true}) {
            TempDir dir;
            fsys::create_directory(dir / "back");
            WriteFile(dir / name, kContent);
            std::vector<std::string> encrypt{"encrypt", "--cipher", "blowfish", "--phrase-file", config / "phrase"};
            if (compress)
                encrypt.push_back("--compress");
            encrypt.insert(encrypt.end(), {"--", name}); // relative, so a leading dash stays a name
            CliResult r = RunCli(encrypt, config.Path(), {}, dir.Path());
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string packed = name + (compress ? ".fez" : ".fe2");
            ASSERT_TRUE(fsys::is_regular_file(dir / packed));
            r = RunCli({"decrypt", "--cipher", "blowfish", "--dest", "back", "--phrase-file", config / "phrase",
                        "./" + packed},
                       config.Path(), {}, dir.Path());
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(ReadFile(dir / ("back/" + name)), kContent);

            // The window's job on the absolute names, deleting its source.
            ScriptedAsk ask({lw::mbOK});
            RecordingHandOff handOff;
            lw::TJobContext context{ask, handOff};
            lw::TJobOptions options;
            options.SourcePath = dir / packed;
            options.KeyPhrase = "pw";
            options.CipherIndex = 1;
            options.DestinationFolder = dir / "back";
            options.DeleteSource = true;
            fsys::remove(dir / ("back/" + name));
            lw::RunDecryptJob(options, context);
            EXPECT_EQ(context.FailureReason, "");
            EXPECT_EQ(ReadFile(dir / ("back/" + name)), kContent);
            EXPECT_FALSE(fsys::exists(dir / packed));
            ASSERT_EQ(ask.boxes.size(), 2u);
            EXPECT_EQ(ask.boxes[0].text, WipeQuestion(dir / packed, Warned(ask.boxes[0].text)));
            EXPECT_TRUE(ask.boxes[0].text.starts_with("You are about to wipe " + packed +
                                                      "\r\nand make it unrecoverable.Continue?"));
        }
    }
}
