#include "crypto/CpuFeatures.h"

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace lw {
namespace {

#if defined(__x86_64__) || defined(__i386__)
uint64_t ReadXcr0()
{
    uint32_t lo = 0;
    uint32_t hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<uint64_t>(hi) << 32) | lo;
}

TCpuFeatures Detect()
{
    TCpuFeatures f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return f;
    f.sse2 = (d >> 26) & 1;
    f.ssse3 = (c >> 9) & 1;
    f.sse41 = (c >> 19) & 1;
    f.aes = (c >> 25) & 1;
    const bool osxsave = (c >> 27) & 1;
    const bool avx = (c >> 28) & 1;
    // The OS must save the vector state before the wide registers are usable.
    const uint64_t xcr0 = osxsave ? ReadXcr0() : 0;
    const bool ymmOs = (xcr0 & 0x6) == 0x6;
    const bool zmmOs = (xcr0 & 0xE6) == 0xE6;
    if (__get_cpuid_max(0, nullptr) < 7)
        return f;
    __cpuid_count(7, 0, a, b, c, d);
    f.avx2 = avx && ymmOs && ((b >> 5) & 1);
    f.avx512f = zmmOs && ((b >> 16) & 1);
    f.avx512bw = f.avx512f && ((b >> 30) & 1);
    f.avx512vl = f.avx512f && ((b >> 31) & 1);
    f.vaes = avx && ymmOs && ((c >> 9) & 1);
    return f;
}
#else
TCpuFeatures Detect()
{
    return {};
}
#endif

std::atomic<bool> forcedOff{false};

} // namespace

const TCpuFeatures& CpuFeatures()
{
    static const TCpuFeatures detected = Detect();
    static const TCpuFeatures none{};
    return forcedOff.load(std::memory_order_relaxed) ? none : detected;
}

void ForceNoCpuFeatures(bool off)
{
    forcedOff.store(off, std::memory_order_relaxed);
}

} // namespace lw
