#include "cli/CliOptions.h"

#include "platform/Path.h"

namespace lw::cli {

const char* const kUsage =
    "usage: lockwell-cli encrypt [--cipher NAME] [--compress] [--dest DIR] [--delete-source]\n"
    "                            [--overwrite | --new-name] [--yes] [--phrase-file FILE] [--quiet] FILE\n"
    "       lockwell-cli decrypt [--cipher NAME] [--dest DIR] [--delete-source]\n"
    "                            [--overwrite | --new-name] [--yes] [--phrase-file FILE] [--quiet] FILE\n"
    "       lockwell-cli wipe [--yes] [--quiet] FILE\n"
    "\n"
    "  --cipher NAME       rc4, blowfish, serpent, rijndael or 0 to 3\n"
    "                      (default: the window's saved choice, else blowfish)\n"
    "  --compress          compress before encrypting (writes .fez instead of .fe2)\n"
    "  --dest DIR          write the output into DIR instead of beside FILE\n"
    "  --delete-source     wipe FILE once the output is written (status 1 if it stays)\n"
    "  --overwrite         replace an existing output\n"
    "  --new-name          write to a free numbered name when the output exists\n"
    "  --yes               wipe without asking\n"
    "  --phrase-file FILE  the key phrase is FILE's first line (\"-\": standard input),\n"
    "                      at most 65536 bytes; otherwise it is asked on the terminal\n"
    "  --quiet             no progress line (it is shown only when standard error is a\n"
    "                      terminal)\n"
    "\n"
    "Ctrl+C stops a job: an unfinished output is not kept, and a wipe under way ends\n"
    "after its current pass, keeping the file. A second Ctrl+C ends the tool at once.\n"
    "Exit status: 0 done, 1 failed or stopped, 2 bad usage.\n";

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
    TCliOptions o;
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") {
            o.Help = true;
            return o;
        }
    if (args.empty())
        throw EUsage("missing command");
    const std::string& command = args[0];
    if (command == "encrypt")
        o.Command = TCommand::Encrypt;
    else if (command == "decrypt")
        o.Command = TCommand::Decrypt;
    else if (command == "wipe")
        o.Command = TCommand::Wipe;
    else
        throw EUsage("unknown command \"" + command + "\"");

    const bool job = o.Command != TCommand::Wipe;
    bool haveFile = false;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (haveFile)
                throw EUsage("only one FILE, please");
            o.File = arg;
            haveFile = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
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
                throw EUsage("unknown option " + args[i]);
            target = true;
        };
        if (arg == "--yes") {
            flag(true, o.Yes);
        } else if (arg == "--quiet") {
            flag(true, o.Quiet);
        } else if (arg == "--compress") {
            flag(o.Command == TCommand::Encrypt, o.Compress);
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
            throw EUsage("unknown option " + args[i]);
        }
    }
    if (!haveFile)
        throw EUsage("missing FILE");
    // Without an extension to drop, the output would be the source itself.
    if (o.Command == TCommand::Decrypt && path::ExtractFileExt(o.File).empty())
        throw EUsage("\"" + o.File + "\" has no extension to remove");
    return o;
}

} // namespace lw::cli
