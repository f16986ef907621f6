#include "jobs/Wipe.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "jobs/WipePattern.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace lw {

bool WipeFile(std::unique_ptr<TFileStream> stream, const std::string& path, IAskUser& ask, std::string* reason)
{
    try {
        const std::string text = "You are about to wipe " + path::ExtractFileName(path) + "\r\n" +
                                 "and make it unrecoverable.Continue?";
        if (ask.AskUser(TMsgDlgType::mtWarning, text, mbOK | mbCancel) != mbOK) {
            if (reason)
                *reason = "the wipe was not confirmed";
            return false;
        }
        if (!stream)
            stream = std::make_unique<TFileStream>(path, TFileMode::fmOpenReadWriteShared);
        std::array<uint8_t, kWipeBufferSize> pattern;
        std::vector<uint8_t> buffer;
        uint32_t seed = 0;
        for (int pass = 1; pass <= kWipePasses; ++pass) {
            FillWipePattern(pass, pattern, seed);
            int64_t size = stream->Size();
            // Each write holds whole patterns, so every one starts where the pattern starts.
            buffer.resize(WipeWriteSize(size));
            RepeatPattern(pattern, buffer);
            // Any write that falls short stops the wipe: the file must not be deleted
            // while its content is still readable on the disk.
            stream->SetPosition(0);
            while (size > 0) {
                const auto n = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(buffer.size())));
                stream->WriteBuffer(std::span<const uint8_t>(buffer.data(), n));
                size -= static_cast<int64_t>(n);
            }
            stream->FlushToDisk();
        }
        stream->Close();
    } catch (const std::exception& failure) {
        if (reason)
            *reason = failure.what();
        return false; // the stream closes with its owner; the file stays
    }
    if (fs::Unlink(path) == 0)
        return true;
    if (reason)
        *reason = "Cannot delete \"" + path + "\". " + fs::ErrorText(errno);
    return false;
}

} // namespace lw
