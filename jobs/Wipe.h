#pragma once
#include <memory>
#include <string>

#include "jobs/AskUser.h"
#include "jobs/Progress.h"
#include "platform/FileStream.h"

namespace lw {

enum class TWipeEnd {
    Deleted,
    Declined,    // the user did not confirm
    Kept,        // refused or stopped before the first pass wrote: the content is as it was
    Overwritten, // stopped or failed after a pass wrote: only the name is left
};

// Asks, overwrites the file seven times with a flush per pass, closes and deletes it.
// Takes over the stream (which may be null) and closes it on every path. Refuses,
// before writing anything, a name that is not a regular file, a file that could not be
// deleted afterwards (a mount point included), one with other (hard-linked) names, one
// whose holes the free space cannot fill, one another job holds a lock on, and a
// stream of another file. Unless it deletes the file, reason (when given) says why not;
// once a pass has written it says the content is gone and the name stays.
// Each pass is reported as its own Wiping phase. A stop request is looked at before and
// after each pass: a pass under way is finished and the file is not deleted.
TWipeEnd WipeFile(std::unique_ptr<TFileStream> stream, const std::string& path, IAskUser& ask,
                  std::string* reason = nullptr, IJobProgress* progress = nullptr, const TStopRequest* stop = nullptr);

} // namespace lw
