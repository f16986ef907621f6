#pragma once
#include <cstdint>
#include <string>

#include "jobs/Progress.h"

namespace lw {

// "Encrypting", "Wiping", ...: what a phase is called where the user sees it.
const char* PhaseName(TJobPhase phase);

// One report as a line: phase (and pass), percent, bytes, speed and time left, e.g.
// "Encrypting  42%  860.0 MiB of 2.0 GiB  85.3 MiB/s  0:14 left". seconds: time spent
// in this phase; speed and time left wait until there is enough to go on.
std::string ProgressLineText(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds);

// The same without the bytes, for a narrow status line: "Encrypting 42%  85.3 MiB/s  0:14 left".
std::string ProgressShortText(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds);

// 0..100, whole percent done; 100 when nothing was expected.
int ProgressPercent(int64_t done, int64_t expected);

} // namespace lw
