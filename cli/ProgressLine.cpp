#include "cli/ProgressLine.h"

#include <cstdio>

namespace lw::cli {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

const char* PhaseName(TJobPhase phase)
{
    switch (phase) {
    case TJobPhase::Reading:
        return "Reading";
    case TJobPhase::Compressing:
        return "Compressing";
    case TJobPhase::Encrypting:
        return "Encrypting";
    case TJobPhase::Decrypting:
        return "Decrypting";
    case TJobPhase::Decompressing:
        return "Decompressing";
    case TJobPhase::Verifying:
        return "Verifying";
    case TJobPhase::Wiping:
        return "Wiping";
    }
    return "Working";
}

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

} // namespace

TProgressLine::TProgressLine(bool draw, TStopRequest& stop, bool (*interrupted)())
    : m_draw(draw), m_stop(stop), m_interrupted(interrupted)
{
}

TProgressLine::~TProgressLine() { Clear(); }

std::string TProgressLine::Text(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds)
{
    std::string line = PhaseName(phase);
    if (phase == TJobPhase::Wiping)
        line += " pass " + std::to_string(pass) + "/7";
    const int percent = expected > 0 ? static_cast<int>(done * 100 / expected) : 100;
    line += "  " + std::to_string(percent) + "%  ";
    double scale = 1;
    const char* unit = "B";
    for (const char* next : {"KiB", "MiB", "GiB", "TiB"}) {
        if (static_cast<double>(expected) < scale * 1024 * 10)
            break;
        scale *= 1024;
        unit = next;
    }
    line += Amount(static_cast<double>(done), scale, unit) + " of " +
            Amount(static_cast<double>(expected), scale, unit);
    // Too early for a speed worth showing.
    if (seconds < 0.2 || done <= 0) {
        line += "  --:-- left";
        return line;
    }
    const double perSecond = static_cast<double>(done) / seconds;
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1f MiB/s", perSecond / (1024 * 1024));
    line += speed;
    line += "  " + Duration(static_cast<double>(expected - done) / perSecond) + " left";
    return line;
}

void TProgressLine::Progress(TJobPhase phase, int64_t done, int64_t expected, int pass)
{
    if (m_interrupted && m_interrupted())
        m_stop.Request();
    if (!m_draw)
        return;
    const TClock::time_point now = TClock::now();
    // A new phase shows at once (there are few); within one the line waits its turn.
    const bool newPhase = !m_drawnOnce || phase != m_phase;
    if (newPhase || pass != m_pass) {
        m_phase = phase;
        m_pass = pass;
        m_phaseStart = now;
    }
    if (!newPhase && now - m_lastDraw < kRedrawEvery)
        return;
    m_drawnOnce = true;
    m_lastDraw = now;
    const std::string text =
        Text(phase, pass, done, expected, std::chrono::duration<double>(now - m_phaseStart).count());
    // Spaces over whatever a longer line left behind.
    const std::string padding(m_shown > text.size() ? m_shown - text.size() : 0, ' ');
    std::fprintf(stderr, "\r%s%s", text.c_str(), padding.c_str());
    std::fflush(stderr);
    m_shown = text.size();
}

void TProgressLine::Clear()
{
    if (m_shown == 0)
        return;
    // Two more for the "^C" a terminal may have echoed after the line.
    std::fprintf(stderr, "\r%s\r", std::string(m_shown + 2, ' ').c_str());
    std::fflush(stderr);
    m_shown = 0;
}

} // namespace lw::cli
