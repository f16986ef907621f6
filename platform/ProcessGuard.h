#pragma once

namespace lw {

// First thing in each program: the key phrase and plaintext live in this process's
// memory, so no crash or signal may write it out. Linux: no core dump (RLIMIT_CORE 0)
// and not dumpable (no core, no memory read by other processes of the user). Windows:
// an unhandled exception ends the process at once, before the error report's dump.
void KeepSecretsOutOfDumps();

} // namespace lw
