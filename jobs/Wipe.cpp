#include "jobs/Wipe.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "jobs/ProgressMeter.h"
#include "jobs/WipePattern.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/WipeChecks.h"

namespace lw {
namespace {

// Built up in place: GCC 12 at -O3 misreads "\"" + name + "\"" as overlapping copies.
std::string Quoted(const std::string& path)
{
    std::string quoted = "\"";
    quoted += path::ExtractFileName(path);
    quoted += '"';
    return quoted;
}

// Only a regular file can be wiped honestly: through a symlink the target's data would
// go and only the link would be deleted; the other kinds hold no data of their own.
void RequireRegular(const std::string& path)
{
    const char* what = nullptr;
    switch (fs::KindAt(path)) {
    case fs::TNodeKind::Missing: // the open says why
    case fs::TNodeKind::Regular: return;
    case fs::TNodeKind::Symlink:
        throw Exception(Quoted(path) + " is a symbolic link: only the file itself can be wiped");
    case fs::TNodeKind::Folder: what = "a folder"; break;
    case fs::TNodeKind::Fifo: what = "a named pipe"; break;
    case fs::TNodeKind::Device: what = "a device"; break;
    case fs::TNodeKind::Socket: what = "a socket"; break;
    case fs::TNodeKind::Other: what = "not a regular file"; break;
    }
    throw Exception(Quoted(path) + " is " + what + ": only a file can be wiped");
}

// A file that cannot be deleted afterwards would stay behind as noise under its name.
void RequireDeletable(const std::string& path)
{
    const char* cause = nullptr;
    switch (fs::DeleteBlock(path)) {
    case fs::TDeleteBlock::None: return;
    case fs::TDeleteBlock::FolderReadOnly: cause = "its file system is read-only"; break;
    case fs::TDeleteBlock::FolderNotWritable: cause = "this user may not change its folder"; break;
    case fs::TDeleteBlock::StickyFolder: cause = "its folder lets only the file's owner delete it"; break;
    case fs::TDeleteBlock::FileImmutable: cause = "it is marked immutable"; break;
    case fs::TDeleteBlock::FileReadOnly: cause = "it is marked read-only"; break;
    case fs::TDeleteBlock::FileAppendOnly: cause = "it is marked append-only"; break;
    case fs::TDeleteBlock::FolderImmutable: cause = "its folder is marked immutable"; break;
    case fs::TDeleteBlock::FolderAppendOnly: cause = "its folder is marked append-only"; break;
    case fs::TDeleteBlock::MountPoint: cause = "something is mounted at its name"; break;
    }
    throw Exception(Quoted(path) + " cannot be deleted: " + cause);
}

// Other names of the file share its data: a backup made of hard links would become noise.
void RequireOnlyName(const std::string& path, int fd)
{
    fs::TFileIdentity identity;
    if (!fs::IdentityOf(fd, identity) || identity.links <= 1)
        return;
    const uint64_t others = identity.links - 1;
    throw Exception(Quoted(path) + " has " + std::to_string(others) + (others == 1 ? " other name" : " other names") +
                    "; the wipe would destroy their data too");
}

// A sparse file grows back to its full size as the passes fill its holes: where the disk
// cannot hold that, the first pass would stop halfway with the file's start already gone.
void RequireRoomForHoles(const std::string& path, int fd)
{
    if (const int error = fs::AllocateHoles(fd))
        throw Exception(Quoted(path) +
                        " is sparse, and the free space cannot hold it overwritten: " + fs::ErrorText(error));
}

// The name must still lead to the open file, or another file would be deleted.
bool Names(const std::string& path, int fd)
{
    fs::TFileIdentity atPath, open;
    return fs::IdentityAt(path, atPath) && fs::IdentityOf(fd, open) && atPath.SameFile(open);
}

std::string InUse(const std::string& path)
{
    return Quoted(path) + " is in use by another Lockwell job";
}
std::string Replaced(const std::string& path)
{
    return Quoted(path) + " is no longer the file that was opened";
}

// The stream the passes go through, holding the exclusive lock: a job reading the file
// holds a shared one, and must not read noise or lose its source halfway.
std::unique_ptr<TFileStream> TakeForWipe(std::unique_ptr<TFileStream> handed, const std::string& path)
{
    if (handed && handed->Writable()) {
        // The same open file: a shared lock of its own turns exclusive in one step.
        if (!handed->TryLock(true))
            throw Exception(InUse(path));
        return handed;
    }
    auto own = std::make_unique<TFileStream>(path, TFileMode::fmOpenReadWriteNoFollow);
    if (handed) {
        fs::TFileIdentity mine, theirs;
        if (!fs::IdentityOf(own->Handle(), mine) || !fs::IdentityOf(handed->Handle(), theirs) || !mine.SameFile(theirs))
            throw Exception(Replaced(path));
        handed.reset(); // its lock would stand in the way of ours
    }
    if (!own->TryLock(true))
        throw Exception(InUse(path));
    return own;
}

// Whether a failed first write got any bytes out: the file position moved past them.
bool WroteAny(TFileStream& stream)
{
    try {
        return stream.Position() > 0;
    } catch (const std::exception&) {
        return true; // cannot tell: never claim the content is whole
    }
}

// `touched` is set once a byte went out: from then on the content is gone.
void OverwriteSevenTimes(TFileStream& stream, IJobProgress* progress, const TStopRequest* stop, bool& touched)
{
    std::array<uint8_t, kWipeBufferSize> pattern;
    std::vector<uint8_t> buffer;
    uint32_t seed = 0;
    // Only between passes: every pass started is finished, so the file always holds whole
    // passes; after the last one too, since a stopped wipe keeps its file.
    auto stopIfAsked = [stop] {
        if (stop && stop->Requested())
            throw EJobStopped();
    };
    for (int pass = 1; pass <= kWipePasses; ++pass) {
        stopIfAsked();
        FillWipePattern(pass, pattern, seed);
        int64_t size = stream.Size();
        job::TPhaseMeter meter(job::TWatch{progress, nullptr}, TJobPhase::Wiping, size, pass);
        // After the meter's first report, which is where a terminal's Ctrl+C becomes a stop.
        stopIfAsked();
        int64_t written = 0;
        // Each write holds whole patterns, so every one starts where the pattern starts.
        buffer.resize(WipeWriteSize(size));
        RepeatPattern(pattern, buffer);
        // Any write that falls short stops the wipe: the file must not be deleted
        // while its content is still readable on the disk.
        stream.SetPosition(0);
        while (size > 0) {
            const auto n = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(buffer.size())));
            try {
                stream.WriteBuffer(std::span<const uint8_t>(buffer.data(), n));
            } catch (const std::exception&) {
                touched = touched || WroteAny(stream);
                throw;
            }
            touched = true;
            size -= static_cast<int64_t>(n);
            written += static_cast<int64_t>(n);
            meter.Step(written);
        }
        stream.FlushToDisk();
        meter.Finish();
    }
    stopIfAsked();
}

} // namespace

TWipeEnd WipeFile(std::unique_ptr<TFileStream> stream, const std::string& path, IAskUser& ask, std::string* reason,
                  IJobProgress* progress, const TStopRequest* stop)
{
    bool touched = false;
    try {
        std::string text =
            "You are about to wipe " + path::ExtractFileName(path) + "\r\n" + "and make it unrecoverable.Continue?";
        switch (fs::OldCopiesOf(path)) {
        case fs::TOldCopies::NewPlaces:
            text +=
                "\r\nThis kind of file system keeps old copies of changed data: traces of the file may stay "
                "on the disk after the wipe.";
            break;
        case fs::TOldCopies::Swap:
            text +=
                "\r\nThis file system keeps files in memory, which may be written to swap: traces of the file "
                "may stay in the swap space after the wipe.";
            break;
        case fs::TOldCopies::None: break;
        }
        // Cancel is the default: one key press must not destroy a file.
        if (ask.AskUserWithDefault(TMsgDlgType::mtWarning, text, mbOK | mbCancel, mbCancel) != mbOK) {
            if (reason)
                *reason = "the wipe was not confirmed";
            return TWipeEnd::Declined;
        }
        // Every refusal comes before the first pass: a refused file keeps its content.
        RequireRegular(path);
        if (stream && !Names(path, stream->Handle()))
            throw Exception(Replaced(path));
        RequireDeletable(path);
        stream = TakeForWipe(std::move(stream), path);
        if (!Names(path, stream->Handle()))
            throw Exception(Replaced(path));
        RequireOnlyName(path, stream->Handle());
        RequireRoomForHoles(path, stream->Handle());
        OverwriteSevenTimes(*stream, progress, stop, touched);
        // A second handle keeps the lock through the close, so a failed close is still
        // reported with the file in place and no job can open the name between close and delete.
        fs::TDescriptionHold hold(stream->Handle(), path);
        stream->Close();
        if (!Names(path, hold.Handle()))
            throw Exception("it was moved or replaced during the wipe");
        if (fs::Unlink(path) != 0)
            throw Exception(fs::ErrorText(errno));
    } catch (const std::exception& failure) {
        // The stream closes with its owner; the name stays.
        if (!touched) {
            if (reason)
                *reason = failure.what();
            return TWipeEnd::Kept;
        }
        if (reason)
            *reason = Quoted(path) + " was overwritten but could not be deleted: " +
                      (dynamic_cast<const EJobStopped*>(&failure) ? "the wipe was stopped" : failure.what());
        return TWipeEnd::Overwritten;
    }
    return TWipeEnd::Deleted;
}

} // namespace lw
