#include "jobs/ProgressText.h"

#include <cstdio>

namespace lw {
namespace {

// In the unit that suits the whole, so both figures read alike.
std::string Amount(double bytes, double scale, const char* unit)
{
    char text[32];
    std::snprintf(text, sizeof text, scale > 1 ? "%.1f %s" : "%.0f %s", bytes / scale, unit);
    return text;
}

std::string Duration(double seconds)
{
    const auto s = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

std::string Phase(TJobPhase phase, int pass)
{
    std::string text = PhaseName(phase);
    if (phase == TJobPhase::Wiping)
        text += " pass " + std::to_string(pass) + "/7";
    return text;
}

// "  85.3 MiB/s  0:14 left", or "  --:-- left" while too early for a speed worth showing.
// Below a MiB a second the speed is in KiB or bytes, never "0.0 MiB/s".
std::string SpeedAndTimeLeft(int64_t done, int64_t expected, double seconds)
{
    if (seconds < 0.2 || done <= 0)
        return "  --:-- left";
    const double perSecond = static_cast<double>(done) / seconds;
    const std::string speed = perSecond >= 1024 * 1024 ? Amount(perSecond, 1024 * 1024, "MiB/s")
                              : perSecond >= 1024      ? Amount(perSecond, 1024, "KiB/s")
                                                       : Amount(perSecond, 1, "B/s");
    return "  " + speed + "  " + Duration(static_cast<double>(expected - done) / perSecond) + " left";
}

} // namespace

const char* PhaseName(TJobPhase phase)
{
    switch (phase) {
    case TJobPhase::Reading: return "Reading";
    case TJobPhase::Compressing: return "Compressing";
    case TJobPhase::Encrypting: return "Encrypting";
    case TJobPhase::Decrypting: return "Decrypting";
    case TJobPhase::Decompressing: return "Decompressing";
    case TJobPhase::Verifying: return "Verifying";
    case TJobPhase::Wiping: return "Wiping";
    }
    return "Working";
}

int ProgressPercent(int64_t done, int64_t expected)
{
    if (expected <= 0)
        return 100;
    if (done <= 0)
        return 0;
    return done >= expected ? 100 : static_cast<int>(done * 100 / expected);
}

std::string ProgressLineText(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds)
{
    std::string line = Phase(phase, pass) + "  " + std::to_string(ProgressPercent(done, expected)) + "%  ";
    double scale = 1;
    const char* unit = "B";
    for (const char* next : {"KiB", "MiB", "GiB", "TiB"}) {
        if (static_cast<double>(expected) < scale * 1024 * 10)
            break;
        scale *= 1024;
        unit = next;
    }
    line +=
        Amount(static_cast<double>(done), scale, unit) + " of " + Amount(static_cast<double>(expected), scale, unit);
    return line + SpeedAndTimeLeft(done, expected, seconds);
}

std::string ProgressShortText(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds)
{
    return Phase(phase, pass) + " " + std::to_string(ProgressPercent(done, expected)) + "%" +
           SpeedAndTimeLeft(done, expected, seconds);
}

} // namespace lw
