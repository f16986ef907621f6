#include "cli/CliOptions.h"

#include "platform/Path.h"

namespace lw::cli {
namespace {

// Which commands a piece of the usage belongs to: one bit per TCommand.
constexpr unsigned kEncrypt = 1, kDecrypt = 2, kWipe = 4, kJobs = kEncrypt | kDecrypt, kAll = 7;

struct TUsagePart {
    unsigned commands;
    const char* text;
};

// Each after "usage: " or its indent.
constexpr TUsagePart kSynopses[] = {
    {kEncrypt,
     "lockwell-cli encrypt [--cipher NAME] [--compress] [--dest DIR] [--delete-source]\n"
     "                            [--overwrite | --new-name] [--yes] [--phrase-file FILE] [--quiet] FILE...\n"},
    {kDecrypt,
     "lockwell-cli decrypt [--cipher NAME] [--dest DIR] [--delete-source] [--keep-doubtful]\n"
     "                            [--overwrite | --new-name] [--yes] [--phrase-file FILE] [--quiet] FILE...\n"},
    {kWipe, "lockwell-cli wipe [--yes] [--quiet] FILE...\n"},
};
constexpr const char* kToolSynopsis =
    "lockwell-cli [encrypt | decrypt | wipe] --help\n"
    "       lockwell-cli --version\n";

constexpr TUsagePart kOptions[] = {
    {kJobs,
     "  --cipher NAME       rc4, blowfish, serpent, rijndael or 0 to 3\n"
     "                      (default: blowfish)\n"},
    {kEncrypt, "  --compress          compress before encrypting (writes .fez instead of .fe2)\n"},
    {kJobs, "  --dest DIR          write the output into DIR instead of beside FILE\n"},
    {kJobs, "  --delete-source     wipe FILE once the output is written (status 1 if it stays)\n"},
    {kDecrypt,
     "  --keep-doubtful     keep a decrypted file that looks like no known kind of file\n"
     "                      (a wrong phrase or cipher); otherwise it is removed (status 1)\n"},
    {kJobs, "  --overwrite         replace an existing output\n"},
    {kJobs, "  --new-name          write to a free numbered name when the output exists\n"},
    {kAll, "  --yes               wipe without asking\n"},
    {kJobs,
     "  --phrase-file FILE  the key phrase is FILE's first line (\"-\": standard input),\n"
     "                      at most 65536 bytes; otherwise it is asked on the terminal\n"},
    {kAll,
     "  --quiet             no progress line (it is shown only when standard error is a\n"
     "                      terminal)\n"},
    {kAll, "  --help, -h          this text; after a command, that command's part alone\n"},
    {kAll, "  --version, -V       the version\n"},
};

constexpr TUsagePart kNotes[] = {
    {kJobs,
     "Several FILEs are handled in the order given, each as its own job, under the one\n"
     "key phrase (asked or read once).\n"},
    {kWipe, "Several FILEs to wipe are taken in the order given, each after its own question.\n"},
    {kAll,
     "With several FILEs, each line about a file starts with the file's path and \": \".\n"
     "\n"
     "Ctrl+C stops a job: an unfinished output is not kept, and a wipe under way ends\n"
     "after its current pass, keeping the file; the FILEs after it are not started.\n"
     "A second Ctrl+C ends the tool at once.\n"
     "Exit status: 0 done, 1 failed or stopped (for any FILE), 2 bad usage (nothing done).\n"},
};

unsigned Bit(TCommand command)
{
    return 1u << static_cast<unsigned>(command);
}

} // namespace

std::string UsageText(std::optional<TCommand> command)
{
    const unsigned wanted = command ? Bit(*command) : kAll;
    std::string text;
    for (const TUsagePart& part : kSynopses)
        if (part.commands & wanted)
            text += (text.empty() ? "usage: " : "       ") + std::string(part.text);
    if (!command)
        text += "       " + std::string(kToolSynopsis);
    text += "\n";
    for (const TUsagePart& part : kOptions)
        if (part.commands & wanted)
            text += part.text;
    text += "\n";
    for (const TUsagePart& part : kNotes)
        if (part.commands & wanted)
            text += part.text;
    return text;
}

std::optional<TCommand> CommandNamed(std::string_view name)
{
    if (name == "encrypt")
        return TCommand::Encrypt;
    if (name == "decrypt")
        return TCommand::Decrypt;
    if (name == "wipe")
        return TCommand::Wipe;
    return std::nullopt;
}

int32_t CipherIndexFromName(std::string_view name)
{
    static const char* const names[] = {"rc4", "blowfish", "serpent", "rijndael"};
    const std::string lower = path::LowerAscii(std::string(name));
    for (int32_t i = 0; i < 4; ++i)
        if (lower == names[i] || lower == std::to_string(i))
            return i;
    return -1;
}

TCliOptions ParseArguments(const std::vector<std::string>& args)
{
    auto isHelp = [](const std::string& arg) { return arg == "--help" || arg == "-h"; };
    auto isVersion = [](const std::string& arg) { return arg == "--version" || arg == "-V"; };
    TCliOptions o;
    if (args.empty())
        throw EUsage("missing command");
    if (isHelp(args[0]) || isVersion(args[0])) {
        o.Action = isHelp(args[0]) ? TCliAction::Usage : TCliAction::Version;
        return o;
    }
    const std::optional<TCommand> command = CommandNamed(args[0]);
    if (!command)
        throw EUsage("unknown command \"" + args[0] + "\"");
    o.Command = *command;

    const bool job = o.Command != TCommand::Wipe;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            o.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // Wherever it stands among the options, and whatever else is wrong with them.
        if (isHelp(arg) || isVersion(arg)) {
            o.Action = isHelp(arg) ? TCliAction::CommandUsage : TCliAction::Version;
            return o;
        }
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw EUsage(arg + " needs a value");
            return args[++i];
        };
        auto flag = [&](bool allowed, bool& target) {
            if (!allowed || inlineValue)
                throw EUsage("unknown option '" + args[i] + "'");
            target = true;
        };
        if (arg == "--yes") {
            flag(true, o.Yes);
        } else if (arg == "--quiet") {
            flag(true, o.Quiet);
        } else if (arg == "--compress") {
            flag(o.Command == TCommand::Encrypt, o.Compress);
        } else if (arg == "--keep-doubtful") {
            flag(o.Command == TCommand::Decrypt, o.KeepDoubtful);
        } else if (arg == "--delete-source") {
            flag(job, o.DeleteSource);
        } else if (job && (arg == "--overwrite" || arg == "--new-name")) {
            const TMsgDlgBtn answer = arg == "--overwrite" ? mbIgnore : mbYes;
            if (inlineValue || (o.OverwriteAnswer && *o.OverwriteAnswer != answer))
                throw EUsage("--overwrite and --new-name exclude each other");
            o.OverwriteAnswer = answer;
        } else if (job && arg == "--cipher") {
            const std::string name = value();
            o.CipherIndex = CipherIndexFromName(name);
            if (o.CipherIndex < 0)
                throw EUsage("unknown cipher \"" + name + "\"");
        } else if (job && arg == "--dest") {
            o.DestinationFolder = value();
            if (o.DestinationFolder.empty())
                throw EUsage("--dest needs a folder");
        } else if (job && arg == "--phrase-file") {
            o.PhraseFile = value();
        } else {
            throw EUsage("unknown option '" + args[i] + "'");
        }
    }
    if (o.Files.empty())
        throw EUsage("missing FILE");
    // Without an extension to drop, the output would be the source itself.
    if (o.Command == TCommand::Decrypt)
        for (const std::string& file : o.Files)
            if (path::ExtractFileExt(file).empty())
                throw EUsage("\"" + file + "\" has no extension to remove");
    return o;
}

} // namespace lw::cli
