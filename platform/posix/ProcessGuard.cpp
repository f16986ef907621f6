#include "platform/ProcessGuard.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace lw {

void HardenProcess()
{
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    // Also covers a core_pattern that pipes to a collector, which ignores the limit.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace lw
