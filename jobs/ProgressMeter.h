#pragma once
#include <cstdint>

#include "jobs/Progress.h"

namespace lw::job {

// Who hears about one job's progress and whose stop request it honours; either may be null.
struct TWatch {
    IJobProgress* Progress = nullptr;
    const TStopRequest* Stop = nullptr;
};

// One phase's reports. Step goes between pieces: it raises EJobStopped when a stop was
// asked and reports new ground short of the end; only Finish reports the end, so a phase
// whose last bytes are read before its work is done still reaches it exactly once.
class TPhaseMeter {
public:
    TPhaseMeter(const TWatch& watch, TJobPhase phase, int64_t expected, int pass = 0)
        : m_watch(watch), m_phase(phase), m_expected(expected), m_pass(pass)
    {
        StopIfAsked();
        if (m_watch.Progress && m_expected > 0)
            m_watch.Progress->Progress(m_phase, 0, m_expected, m_pass);
    }

    void Step(int64_t done)
    {
        StopIfAsked();
        if (m_watch.Progress && done > m_reported && done < m_expected) {
            m_reported = done;
            m_watch.Progress->Progress(m_phase, done, m_expected, m_pass);
        }
    }

    void Finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        if (m_watch.Progress)
            m_watch.Progress->Progress(m_phase, m_expected, m_expected, m_pass);
    }

private:
    void StopIfAsked() const
    {
        if (m_watch.Stop && m_watch.Stop->Requested())
            throw EJobStopped();
    }

    TWatch m_watch;
    TJobPhase m_phase;
    int64_t m_expected;
    int m_pass;
    int64_t m_reported = 0;
    bool m_finished = false;
};

} // namespace lw::job
