#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "HandOffStubs.h"
#include "TestUtil.h"
#include "desktop/Opener.h"

using namespace lw;
using namespace lwtest;

namespace {

// A stand-in opener that logs argv and its parent, then blocks until "release" exists,
// as an opener running the viewer in the foreground does.
void WriteBlockingOpener(const std::string& program, const std::string& logDir)
{
    WriteScript(program, "d='" + logDir +
                             "'\n"
                             "printf '%s\\0' \"$@\" > \"$d/argv.tmp\"\n"
                             "echo $PPID > \"$d/ppid\"\n"
                             "/bin/mv \"$d/argv.tmp\" \"$d/argv\"\n"
                             "while [ ! -e \"$d/release\" ]; do /bin/sleep 0.02; done\n"
                             "echo done > \"$d/done\"\n");
}

} // namespace

TEST(Opener, StartsTheOpenerWithoutWaiting)
{
    const struct {
        std::string tool;
        std::vector<std::string> args;
    } cases[] = {
        {"xdg-open", {}}, {"gio", {"open"}}, // the fallback when xdg-open is missing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        TempDir bin, log;
        PathOverride path(bin.Path());
        WriteBlockingOpener(bin / c.tool, log.Path());
        const std::string file = "/tmp/decrypted file;1.txt";

        // Returns while the opener is still blocked on "release".
        ASSERT_TRUE(OpenDetached(file));
        ASSERT_TRUE(WaitUntil([&] { return Exists(log / "argv"); }));
        EXPECT_FALSE(Exists(log / "done"));
        auto expected = c.args;
        expected.push_back(file);
        EXPECT_EQ(SplitNul(ReadText(log / "argv")), expected);
        // Not our child: nothing for us to reap.
        EXPECT_NE(std::stoi(ReadText(log / "ppid")), getpid());
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);

        WriteFile(log / "release", {});
        EXPECT_TRUE(WaitUntil([&] { return Exists(log / "done"); }));
    }
}

TEST(Opener, PrefersXdgOpen)
{
    TempDir bin, log, unused;
    PathOverride path(bin.Path());
    WriteBlockingOpener(bin / "xdg-open", log.Path());
    WriteBlockingOpener(bin / "gio", unused.Path());
    WriteFile(unused / "release", {});
    WriteFile(log / "release", {});
    ASSERT_TRUE(OpenDetached("/tmp/x"));
    ASSERT_TRUE(WaitUntil([&] { return Exists(log / "done"); }));
    EXPECT_FALSE(Exists(unused / "argv"));
}

TEST(Opener, NoOpenerIsNotAnError)
{
    TempDir bin;
    PathOverride path(bin.Path());
    EXPECT_FALSE(OpenDetached("/tmp/x"));
}
