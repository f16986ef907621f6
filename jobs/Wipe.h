#pragma once
#include <memory>
#include <string>

#include "jobs/AskUser.h"
#include "jobs/Progress.h"
#include "platform/FileStream.h"

namespace lw {

// Asks, overwrites the file seven times with a flush per pass, closes and deletes it.
// Takes over the stream (which may be null) and closes it on every path. Refuses,
// before writing anything, a name that is not a regular file, a file that could not be
// deleted afterwards, one with other (hard-linked) names, one another job holds a lock
// on, and a stream of another file.
// True only when the file was deleted; otherwise reason (when given) says why not.
// Each pass is reported as its own Wiping phase. A stop request is looked at before and
// after each pass: a pass under way is finished, the file is kept and the reason is "stopped".
bool WipeFile(std::unique_ptr<TFileStream> stream, const std::string& path, IAskUser& ask,
              std::string* reason = nullptr, IJobProgress* progress = nullptr, const TStopRequest* stop = nullptr);

} // namespace lw
