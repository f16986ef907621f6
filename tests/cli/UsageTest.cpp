// lockwell-cli --version, and --help before or after a command.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "TestUtil.h"

using namespace lwtest;

TEST(CliUsage, VersionAndHelp)
{
    const struct {
        std::vector<std::string> args;
        const char* first;              // the output starts with it
        std::vector<std::string> lacks; // and does not hold these
    } rows[] = {
        {{"--version"}, "lockwell-cli " LOCKWELL_PROJECT_VERSION "\n", {"\n\n"}},
        {{"wipe", "--quiet", "-V", "x"}, "lockwell-cli " LOCKWELL_PROJECT_VERSION "\n", {"\n\n"}},
        {{"--help"}, "usage: lockwell-cli encrypt [", {}},
        {{"encrypt", "--help"}, "usage: lockwell-cli encrypt [", {"lockwell-cli decrypt", "lockwell-cli wipe"}},
        {{"decrypt", "--cipher", "rc4", "-h", "f.fe2"},
         "usage: lockwell-cli decrypt [",
         {"--compress", "lockwell-cli encrypt", "lockwell-cli wipe"}},
        {{"wipe", "--help"},
         "usage: lockwell-cli wipe [--yes] [--quiet] FILE...\n",
         {"--cipher", "--phrase-file", "key phrase", "lockwell-cli encrypt"}},
    };
    TempDir dir;
    for (const auto& row : rows) {
        const CliResult r = RunCli(row.args, dir.Path());
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind(row.first, 0), 0u) << r.out;
        for (const std::string& part : row.lacks)
            EXPECT_EQ(r.out.find(part), std::string::npos) << part << " in\n" << r.out;
    }
    // A usage error is one line and where the usage is, not the usage itself.
    const struct {
        std::vector<std::string> args;
        const char* err;
    } errors[] = {
        {{}, "lockwell-cli: missing command\nTry 'lockwell-cli --help'.\n"},
        {{"--foo"}, "lockwell-cli: unknown command \"--foo\"\nTry 'lockwell-cli --help'.\n"},
        {{"wipe", "--foo", "x"}, "lockwell-cli: unknown option '--foo'\nTry 'lockwell-cli wipe --help'.\n"},
    };
    for (const auto& row : errors) {
        const CliResult r = RunCli(row.args, dir.Path());
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
    }
    // The whole usage holds every command's.
    const std::string whole = RunCli({"--help"}, dir.Path()).out;
    for (const char* command : {"encrypt", "decrypt", "wipe"}) {
        const std::string part = RunCli({command, "--help"}, dir.Path()).out;
        const std::string synopsis = part.substr(7, part.find("\n\n") - 7); // after "usage: "
        EXPECT_NE(whole.find(synopsis), std::string::npos) << synopsis;
    }
}
