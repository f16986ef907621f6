#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "jobs/AskUser.h"
#include "jobs/Progress.h"

namespace lw::cli {

// The job's progress as one line on standard error, redrawn in place as each phase
// starts and otherwise at most five times a second. Whether it draws or not, it passes
// an interrupt on to the job's stop request.
class TProgressLine final : public IJobProgress {
public:
    // interrupted: polled on every report; true once the user asked to stop.
    TProgressLine(bool draw, TStopRequest& stop, bool (*interrupted)());
    ~TProgressLine() override;
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    void Progress(TJobPhase phase, int64_t done, int64_t expected, int pass) override;
    // Takes the line away, so that what is printed next starts on a clean line.
    void Clear();

    // The line's text, without the carriage return: for the drawing and its tests.
    static std::string Text(TJobPhase phase, int pass, int64_t done, int64_t expected, double seconds);

private:
    using TClock = std::chrono::steady_clock;

    bool m_draw;
    TStopRequest& m_stop;
    bool (*m_interrupted)();
    TJobPhase m_phase = TJobPhase::Reading;
    int m_pass = -1;
    TClock::time_point m_phaseStart{};
    TClock::time_point m_lastDraw{};
    bool m_drawnOnce = false;
    size_t m_shown = 0; // characters of the line on screen; 0 when none
};

// Message boxes through another IAskUser, with the progress line cleared first.
class TAskBelowProgress final : public IAskUser {
public:
    TAskBelowProgress(IAskUser& inner, TProgressLine& line) : m_inner(inner), m_line(line) {}

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override
    {
        m_line.Clear();
        return m_inner.AskUser(kind, text, buttons);
    }
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override
    {
        m_line.Clear();
        return m_inner.AskUserWithDefault(kind, text, buttons, defaultButton);
    }

private:
    IAskUser& m_inner;
    TProgressLine& m_line;
};

} // namespace lw::cli
