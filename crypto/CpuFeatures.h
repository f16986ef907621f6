#pragma once

namespace lw {

// x86 instruction-set extensions usable by this process (CPU and OS both allow them).
struct TCpuFeatures {
    bool sse2 = false;
    bool ssse3 = false;
    bool sse41 = false;
    bool aes = false;
    bool avx2 = false;
    bool avx512f = false;
    bool avx512vl = false;
    bool avx512bw = false;
    bool vaes = false;
};

// Detected once; while forced off (tests), every feature reads false.
const TCpuFeatures& CpuFeatures();
void ForceNoCpuFeatures(bool off);

} // namespace lw
