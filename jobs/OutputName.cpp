#include "jobs/OutputName.h"

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw {
namespace {

// The two prompts differ on purpose beyond the verb (blanks, trailing "file").
constexpr const char* kOverwriteEncrypt =
    "This action will result in overwritinge an existing file! \r\n"
    "YES to create a new name, NO to EXIT without encrypting.\r\n"
    "IGNORE to continue and overwrite";
constexpr const char* kOverwriteDecrypt =
    "This action will result in overwritinge an existing file!  \r\n"
    "YES to create a new name, NO to EXIT without decrypting.\r\n"
    "IGNORE to continue and overwrite file";

} // namespace

std::string OutputPath(const TJobOptions& options, TJobKind kind)
{
    const std::string base = kind == TJobKind::Encrypt ? options.SourcePath + (options.Compress ? ".fez" : ".fe2")
                                                       : path::PathWithoutExt(options.SourcePath);
    if (options.DestinationFolder.empty())
        return base;
    return path::JoinDestination(options.DestinationFolder, path::ExtractFileName(base));
}

bool SettleExistingOutput(std::string& outputPath, TJobKind kind, IAskUser& ask)
{
    if (!fs::FileExists(outputPath))
        return true;
    const TMsgDlgBtn answer =
        ask.AskUser(TMsgDlgType::mtConfirmation, kind == TJobKind::Encrypt ? kOverwriteEncrypt : kOverwriteDecrypt,
                    mbYes | mbNo | mbIgnore);
    if (answer == mbYes)
        outputPath = UniqueOutputName(outputPath, ask);
    return answer != mbNo;
}

std::string UniqueOutputName(const std::string& path, IAskUser& ask)
{
    const std::string ext = path::ExtractFileExt(path);
    const std::string stem = path::PathWithoutExt(path);
    std::string candidate = path;
    for (uint64_t n = 1; fs::FileExists(candidate); ++n)
        candidate = stem + std::to_string(n) + ext;
    ask.AskUser(TMsgDlgType::mtConfirmation, "File saved as:" + candidate, mbOK);
    return candidate;
}

} // namespace lw
