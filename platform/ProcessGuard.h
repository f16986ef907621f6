#pragma once

namespace lw {

// First thing in each program: the key phrase and plaintext live in this process's
// memory, so no crash, signal or other program may take them out of it.
// Linux: no core dump (RLIMIT_CORE 0) and not dumpable (no core, no memory read by other
// processes of the user). Windows: an unhandled exception ends the process at once,
// before the error report's dump; other processes of the user may only wait for it, ask
// its name and end it (no memory read, no dump, no thread of theirs); and libraries
// loaded by name come from the system folder alone, never the program's or current one.
void HardenProcess();

} // namespace lw
