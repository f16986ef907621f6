// Odd file systems, mounted for the test. A real full one: a 64 KiB tmpfs takes the
// output of a 200 KB source; the tool says why the job failed, naming the output the
// user asked for, and leaves nothing in the full folder.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "CliRun.h"
#include "TestUtil.h"

using namespace lwtest;

namespace {

class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& folder) : m_folder(folder)
    {
        m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
        m_error = m_mounted ? 0 : errno;
    }
    ~SmallTmpfs()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    bool Mounted() const { return m_mounted; }
    const char* Why() const { return std::strerror(m_error); }

private:
    std::string m_folder;
    bool m_mounted = false;
    int m_error = 0;
};

} // namespace

TEST(CliFullDisk, EncryptIntoAFullFileSystemNamesTheOutputAndLeavesNothing)
{
    TempDir dir;
    TempDir full;
    const SmallTmpfs tmpfs(full.Path());
    if (!tmpfs.Mounted()) {
        GTEST_SKIP() << "cannot mount a 64 KiB tmpfs here (" << tmpfs.Why() << "); mounting needs root";
    }
    // Random bytes do not compress: the ".fez" does not fit either.
    const Bytes content = RandomBytes(200 * 1000, 21);
    WriteFile(dir / "report.odt", content);
    WriteFile(dir / "p", {'f', 'u', 'l', 'l'});
    for (bool compress : {false, true})
        for (bool named : {false, true}) {
            SCOPED_TRACE(std::string(compress ? "fez" : "fe2") + (named ? ", named working file" : ""));
            if (named)
                UseNamedWorkingFiles(true);
            std::vector<std::string> args = {"encrypt", "--phrase-file", dir / "p", "--dest", full.Path()};
            if (compress)
                args.push_back("--compress");
            args.push_back(dir / "report.odt");
            const CliResult r = RunCli(args, dir.Path());
            UseNamedWorkingFiles(false);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "File IO error: No space left on device while writing " +
                                 (full / (compress ? "report.odt.fez" : "report.odt.fe2")) + "\n");
            EXPECT_TRUE(Listing(full.Path()).empty()) << "left in the full folder: " << Listing(full.Path()).size();
            EXPECT_TRUE(ReadFile(dir / "report.odt") == content);
        }
}

// Under a file-size limit (ulimit -f) the write fails with the limit as its reason, where
// the signal the limit sends would end the tool without a word and leave a named
// working file behind.
TEST(CliFullDisk, AFileSizeLimitFailsTheJobWithItsReason)
{
    TempDir dir;
    WriteFile(dir / "report.odt", RandomBytes(200 * 1000, 21));
    WriteFile(dir / "p", {'f', 'u', 'l', 'l'});
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named working file" : "unnamed working file");
        if (named)
            UseNamedWorkingFiles(true);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const CliResult r = RunCli({"encrypt", "--phrase-file", dir / "p", dir / "report.odt"}, dir.Path());
        ::setrlimit(RLIMIT_FSIZE, &saved);
        UseNamedWorkingFiles(false);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "File IO error: File size limit exceeded while writing " + (dir / "report.odt.fe2") + "\n");
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"p", "report.odt"}));
    }
}

// A folder on FAT through FUSE (no hard links, no rename flags, no unnamed files): the
// whole round trip, the wipe of the source included, works there as anywhere.
TEST(CliFuseFolder, EncryptWipeAndDecryptOnFatThroughFuse)
{
    const FuseFatMount fat;
    if (!fat.Skip().empty())
        GTEST_SKIP() << fat.Skip();
    TempDir dir;
    const Bytes content = TextBytes(300 * 1000, 22);
    WriteFile(fat / "notes.txt", content);
    WriteFile(dir / "p", {'f', 'a', 't'});
    for (bool encrypt : {true, false}) {
        SCOPED_TRACE(encrypt ? "encrypt" : "decrypt");
        const std::vector<std::string> args = {encrypt ? "encrypt" : "decrypt",
                                               encrypt ? "--compress" : "--quiet",
                                               "--delete-source",
                                               "--yes",
                                               "--phrase-file",
                                               dir / "p",
                                               fat / (encrypt ? "notes.txt" : "notes.txt.fez")};
        const CliResult r = RunCli(args, fat.Path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Listing(fat.Path()), std::vector<std::string>{encrypt ? "notes.txt.fez" : "notes.txt"});
    }
    EXPECT_EQ(ReadFile(fat / "notes.txt"), content);
}
