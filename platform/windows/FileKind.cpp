#include "platform/FileKind.h"

#include <array>
#include <string_view>

// Windows has no file-type database. A short table of the signatures that decrypted
// files most often start with stands in for it: each is long enough that a key phrase
// or cipher chosen wrongly does not produce it by chance, and the plausibility checks
// (which flip bits to see how much of the head a kind depends on) weigh them as they
// weigh the database's answers. Kinds missing here are judged by the text and
// statistics rules alone.
namespace lw {
namespace {

struct TSignature {
    size_t offset;
    std::string_view bytes;
    const char* mediaType;
    const char* description;
};

using namespace std::string_view_literals;

constexpr std::array kSignatures = {
    TSignature{0, "\x89PNG\r\n\x1a\n"sv, "image/png", "PNG image data"},
    TSignature{0, "\xff\xd8\xff"sv, "image/jpeg", "JPEG image data"},
    TSignature{0, "GIF87a"sv, "image/gif", "GIF image data, version 87a"},
    TSignature{0, "GIF89a"sv, "image/gif", "GIF image data, version 89a"},
    TSignature{0, "%PDF-"sv, "application/pdf", "PDF document"},
    TSignature{0, "PK\x03\x04"sv, "application/zip", "Zip archive data"},
    TSignature{0, "\x1f\x8b\x08"sv, "application/gzip", "gzip compressed data"},
    TSignature{0, "BZh"sv, "application/x-bzip2", "bzip2 compressed data"},
    TSignature{0, "7z\xbc\xaf\x27\x1c"sv, "application/x-7z-compressed", "7-zip archive data"},
    TSignature{0, "Rar!\x1a\x07"sv, "application/x-rar", "RAR archive data"},
    TSignature{0,
               "\xfd"
               "7zXZ\x00"sv,
               "application/x-xz", "XZ compressed data"},
    TSignature{0, "\x28\xb5\x2f\xfd"sv, "application/zstd", "Zstandard compressed data"},
    TSignature{0,
               "\x7f"
               "ELF"sv,
               "application/x-executable", "ELF executable"},
    TSignature{0, "OggS"sv, "audio/ogg", "Ogg data"},
    TSignature{0, "SQLite format 3\x00"sv, "application/vnd.sqlite3", "SQLite 3.x database"},
    TSignature{0, "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"sv, "application/x-ole-storage",
               "Composite Document File V2 Document"},
    TSignature{0, "II*\x00"sv, "image/tiff", "TIFF image data, little-endian"},
    TSignature{0, "MM\x00*"sv, "image/tiff", "TIFF image data, big-endian"},
    TSignature{0, "ID3"sv, "audio/mpeg", "Audio file with ID3 version 2"},
    TSignature{4, "ftyp"sv, "video/mp4", "ISO Media"},
    TSignature{0, "RIFF"sv, "application/x-riff", "RIFF data"},
    TSignature{0, "MZ"sv, "application/x-dosexec", "MS-DOS executable"},
};

const TSignature* Match(std::span<const uint8_t> head)
{
    for (const TSignature& signature : kSignatures) {
        if (head.size() < signature.offset + signature.bytes.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < signature.bytes.size() && same; ++i)
            same = head[signature.offset + i] == static_cast<uint8_t>(signature.bytes[i]);
        if (same)
            return &signature;
    }
    return nullptr;
}

} // namespace

TFileKinds::TFileKinds() = default;

TFileKinds::~TFileKinds() = default;

std::optional<std::string> TFileKinds::Ask(std::span<const uint8_t> head, int flags)
{
    const TSignature* signature = Match(head);
    if (!signature)
        return std::nullopt;
    return std::string(flags != 0 ? signature->mediaType : signature->description);
}

std::optional<std::string> TFileKinds::Describe(std::span<const uint8_t> head)
{
    return Ask(head, 0);
}

std::optional<std::string> TFileKinds::MediaType(std::span<const uint8_t> head)
{
    return Ask(head, 1);
}

std::optional<std::string> RecognisedFileKind(std::span<const uint8_t> head)
{
    TFileKinds kinds;
    return kinds.Describe(head);
}

} // namespace lw
