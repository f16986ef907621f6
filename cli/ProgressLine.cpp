#include "cli/ProgressLine.h"

#include <cstdio>

#include "jobs/ProgressText.h"

namespace lw::cli {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

} // namespace

TProgressLine::TProgressLine(bool draw, TStopRequest& stop, bool (*interrupted)())
    : m_draw(draw), m_stop(stop), m_interrupted(interrupted)
{}

TProgressLine::~TProgressLine()
{
    Clear();
}

std::string TProgressLine::Text(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds)
{
    return ProgressLineText(phase, pass, done, expected, seconds);
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
