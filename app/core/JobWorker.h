#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "jobs/Progress.h"

// A job on a thread of its own beside the window, so the window keeps drawing and
// answering. No toolkit here: each window face brings its way of posting to its thread.
namespace lw {

// The window's thread as a job sees it.
class IWindowThread {
public:
    virtual ~IWindowThread() = default;
    // Runs the call on the window's thread later and returns at once. A call posted
    // after the window is gone may be dropped.
    virtual void Post(std::function<void()> call) = 0;
};

// The window's thread as the window itself sees it: while held (a question of the
// window's own is open), posted calls wait, in order, until it is released.
class IHoldableWindowThread : public IWindowThread {
public:
    virtual void Hold() = 0;
    virtual void Release() = 0;
};

// How far the running job got, as last reported; written by the job, read by the window.
struct TProgressState {
    TJobPhase Phase = TJobPhase::Reading;
    int Pass = 0;
    int64_t Done = 0;
    int64_t Expected = 0;
    double Seconds = 0; // since this phase (or pass) began
    bool Known = false; // false until the first report
};

class TJobWorker final {
public:
    // One worker runs one job; boxes and hand-offs go to ask and handOff on the window's thread.
    TJobWorker(IWindowThread& window, IAskUser& ask, IHandOff& handOff);
    // Stops a job still running and waits for it; questions it asks then answer Cancel.
    // Runs on the window's thread, from its outermost event loop: never while one of
    // this job's boxes is open.
    ~TJobWorker();
    TJobWorker(const TJobWorker&) = delete;
    TJobWorker& operator=(const TJobWorker&) = delete;

    // What runs on the worker: boxes and hand-offs through the given ones, which show
    // on the window's thread while the job waits.
    struct TServices {
        IAskUser& Ask;
        IHandOff& HandOff;
        IJobProgress& Progress;
        const TStopRequest& Stop;
    };
    using TWork = std::function<void(TServices& services)>;
    // Starts the work; ended is posted to the window's thread as the work's last act.
    // What the work throws is dropped: it reports its own failures.
    void Start(TWork work, std::function<void()> ended);

    void RequestStop() { m_stop.Request(); }
    bool StopRequested() const { return m_stop.Requested(); }
    TProgressState Progress() const;

private:
    // Runs call on the window's thread and waits for it; its failure is raised here.
    // Once the worker is being torn down it runs nothing and returns false.
    bool CallOnWindow(const std::function<void()>& call);

    class TProgressRecord;
    class TAskProxy;
    class THandOffProxy;
    struct TCall;

    IWindowThread& m_window;
    IAskUser& m_ask;
    IHandOff& m_handOff;
    std::unique_ptr<TProgressRecord> m_progress;
    std::unique_ptr<TAskProxy> m_askProxy;
    std::unique_ptr<THandOffProxy> m_handOffProxy;
    TStopRequest m_stop;
    std::thread m_thread;

    std::mutex m_callMutex;
    std::condition_variable m_callDone;
    std::shared_ptr<TCall> m_pending; // the call the worker waits for, if any
    bool m_tornDown = false;
};

} // namespace lw
