#include <gtest/gtest.h>

#include "StubProgram.h"
#include "TestUtil.h"
#include "desktop/DesktopQuote.h"

using namespace lw;
using lwtest::RunProgram;

namespace {

// Words that each launcher syntax must carry through unchanged.
const std::vector<std::string> kWords = {
    "/usr/bin/lockwell", "My Apps", "tab\there",   "new\nline",  "cr\rhere", "dq\"x", "sq'x",  "''",
    "back\\slash",       "trail\\", "dollar$HOME", "back`tick`", "50%",      "%f",    "%%",    "~tilde",
    "semi;colon",        "star*?",  "hash#",       "(paren)",    "<>|&",     "=eq",   " lead", "trail ",
    "caf\xc3\xa9",       "",
};

struct TExecRow {
    const char* word;
    const char* exec; // as it stands in the file
};

TEST(DesktopQuote, ExecArgumentsAreQuotedOnlyWhenNeeded)
{
    const TExecRow rows[] = {
        {"/usr/bin/lockwell", "/usr/bin/lockwell"},
        {"/opt/a+b/x-y_z.1", "/opt/a+b/x-y_z.1"},
        {"/tmp/My Apps/lockwell", "\"/tmp/My Apps/lockwell\""},
        {"/tmp/we$ird \"dir\"/lockwell", "\"/tmp/we\\\\$ird \\\\\"dir\\\\\"/lockwell\""},
        {"/tmp/50%/lockwell", "/tmp/50%%/lockwell"},
        {"/a b/50%", "\"/a b/50%%\""},
        {"/a\\b", "\"/a\\\\\\\\b\""},
        {"/a`b", "\"/a\\\\`b\""},
        {"/a'b", "\"/a'b\""},
        {"/a\tb", "\"/a\\tb\""},
        {"/a\nb", "\"/a\\nb\""},
        {"~/x", "\"~/x\""},
        {"/caf\xc3\xa9", "/caf\xc3\xa9"},
        {"", "\"\""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(QuoteDesktopExec(row.word), row.exec) << row.word;
}

TEST(DesktopQuote, ShellWordsAreSingleQuoted)
{
    EXPECT_EQ(QuotePosixShell("/usr/bin/lockwell"), "'/usr/bin/lockwell'");
    EXPECT_EQ(QuotePosixShell("it's"), "'it'\\''s'");
    EXPECT_EQ(QuotePosixShell(""), "''");
    EXPECT_EQ(QuoteGLibShell("a b'c"), "'a b'\\''c'");
}

TEST(DesktopQuote, EscapesForKeyFilesAndXml)
{
    EXPECT_EQ(EscapeKeyFileString(" a\\b\tc\nd\re "), "\\sa\\\\b\\tc\\nd\\re ");
    EXPECT_EQ(DoublePercent("50% %f"), "50%% %%f");
    EXPECT_EQ(EscapeXmlText("'a' & <b> \"c\""), "'a' &amp; &lt;b&gt; \"c\"");
}

TEST(DesktopQuote, LauncherSafePaths)
{
    for (const char* safe : {"/usr/bin/lockwell", "/opt/Lock-well_2.0/bin+x/lockwell", "relative/x"})
        EXPECT_TRUE(IsLauncherSafePath(safe)) << safe;
    for (const char* unsafe : {"", "/a b", "/a'b", "/a\"b", "/a$b", "/a%b", "/a\\b", "/a~b", "/caf\xc3\xa9", "/a\nb",
                               "/a:b", "/a,b", "/a=b", "/a@b"})
        EXPECT_FALSE(IsLauncherSafePath(unsafe)) << unsafe;
}

// sh itself is the reference for the POSIX quoting.
TEST(DesktopQuote, ShParsesQuotedWordsBack)
{
    LWTEST_NEEDS_REFERENCE();
    std::vector<std::string> words = kWords;
    words.push_back("bad\xff utf8");
    for (const std::string& word : words) {
        const lwtest::Bytes out = RunProgram({"/bin/sh", "-c", "printf '%s' " + QuotePosixShell(word)});
        EXPECT_EQ(std::string(out.begin(), out.end()), word) << word;
    }
}

// GLib's desktop-file launcher is the reference for both the Exec syntax and GLib's shell
// syntax (it splits Exec with its shell parser and then expands the %-codes).
void ExpectGioPassesWords(std::string (*quote)(std::string_view))
{
    lwtest::TempDir dir;
    lwtest::StubProgram stub(dir / "stub");
    std::string exec = stub.Path();
    for (const std::string& word : kWords)
        exec += " " + quote(word);
    const std::string entry = "[Desktop Entry]\nType=Application\nName=Quote test\nExec=" + exec + "\n";
    lwtest::WriteFile(dir / "quote.desktop", lwtest::Bytes(entry.begin(), entry.end()));
    RunProgram({"env", "HOME=" + dir.Path(), "XDG_DATA_HOME=" + (dir / "data"), "XDG_CONFIG_HOME=" + (dir / "config"),
                "gio", "launch", dir / "quote.desktop"});
    const auto calls = stub.WaitForCalls(1);
    ASSERT_EQ(calls.size(), 1u) << exec;
    EXPECT_EQ(calls[0], kWords);
}

TEST(DesktopQuote, GioParsesExecArgumentsBack)
{
    LWTEST_NEEDS_REFERENCE();
    ExpectGioPassesWords([](std::string_view w) { return QuoteDesktopExec(w); });
}

TEST(DesktopQuote, GioParsesGLibShellWordsBack)
{
    LWTEST_NEEDS_REFERENCE();
    // As in a Nemo action: shell-quoted, then %-codes and key-file escapes applied.
    ExpectGioPassesWords([](std::string_view w) { return EscapeKeyFileString(DoublePercent(QuoteGLibShell(w))); });
}

} // namespace
