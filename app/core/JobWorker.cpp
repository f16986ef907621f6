#include "app/core/JobWorker.h"

#include <chrono>
#include <exception>
#include <utility>

namespace lw {

struct TJobWorker::TCall {
    const std::function<void()>* Function = nullptr;
    std::exception_ptr Failure;
    bool Done = false;
    bool Abandoned = false; // set on the window's thread, read there only
};

class TJobWorker::TProgressRecord final : public IJobProgress {
public:
    void Progress(TJobPhase phase, int64_t done, int64_t expected, int pass) override
    {
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(m_mutex);
        if (!m_state.Known || phase != m_state.Phase || pass != m_state.Pass)
            m_phaseStart = now;
        m_state = {phase, pass, done, expected, 0, true};
    }

    TProgressState Latest() const
    {
        std::lock_guard lock(m_mutex);
        TProgressState state = m_state;
        state.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_phaseStart).count();
        return state;
    }

private:
    mutable std::mutex m_mutex;
    TProgressState m_state;
    std::chrono::steady_clock::time_point m_phaseStart{};
};

class TJobWorker::TAskProxy final : public IAskUser {
public:
    explicit TAskProxy(TJobWorker& worker) : m_worker(worker) {}

    TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override
    {
        return Ask([&](IAskUser& ask) { return ask.AskUser(kind, text, buttons); });
    }
    TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                  TMsgDlgBtn defaultButton) override
    {
        return Ask([&](IAskUser& ask) { return ask.AskUserWithDefault(kind, text, buttons, defaultButton); });
    }
    TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                 TMsgDlgButtons buttons) override
    {
        return Ask([&](IAskUser& ask) { return ask.AskUserWithDetail(kind, text, detail, buttons); });
    }

private:
    template <class Box>
    TMsgDlgBtn Ask(Box box)
    {
        // A box nobody can answer any more is closed, as its close box would be.
        TMsgDlgBtn answer = mbCancel;
        m_worker.CallOnWindow([&] { answer = box(m_worker.m_ask); });
        return answer;
    }

    TJobWorker& m_worker;
};

class TJobWorker::THandOffProxy final : public IHandOff {
public:
    explicit THandOffProxy(TJobWorker& worker) : m_worker(worker) {}

    void PutFileOnClipboard(const std::string& path) override
    {
        m_worker.CallOnWindow([&] { m_worker.m_handOff.PutFileOnClipboard(path); });
    }
    bool SendFileToMailClient(const std::string& path) override
    {
        bool sent = false;
        m_worker.CallOnWindow([&] { sent = m_worker.m_handOff.SendFileToMailClient(path); });
        return sent;
    }
    void OpenWithAssociatedApp(const std::string& path) override
    {
        m_worker.CallOnWindow([&] { m_worker.m_handOff.OpenWithAssociatedApp(path); });
    }
    void ProcessPendingEvents() override
    {
        m_worker.CallOnWindow([&] { m_worker.m_handOff.ProcessPendingEvents(); });
    }

private:
    TJobWorker& m_worker;
};

TJobWorker::TJobWorker(IWindowThread& window, IAskUser& ask, IHandOff& handOff)
    : m_window(window), m_ask(ask), m_handOff(handOff), m_progress(std::make_unique<TProgressRecord>()),
      m_askProxy(std::make_unique<TAskProxy>(*this)), m_handOffProxy(std::make_unique<THandOffProxy>(*this))
{}

TJobWorker::~TJobWorker()
{
    m_stop.Request();
    {
        std::lock_guard lock(m_callMutex);
        m_tornDown = true;
        if (m_pending)
            m_pending->Abandoned = true;
    }
    m_callDone.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TJobWorker::Start(TWork work, std::function<void()> ended)
{
    m_thread = std::thread([this, work = std::move(work), ended = std::move(ended)]() mutable {
        try {
            TServices services{*m_askProxy, *m_handOffProxy, *m_progress, m_stop};
            work(services);
        } catch (...) {
            // The work reports its own failures; nothing may leave the thread.
        }
        m_window.Post(std::move(ended));
    });
}

TProgressState TJobWorker::Progress() const
{
    return m_progress->Latest();
}

bool TJobWorker::CallOnWindow(const std::function<void()>& call)
{
    auto pending = std::make_shared<TCall>();
    pending->Function = &call;
    {
        std::lock_guard lock(m_callMutex);
        if (m_tornDown)
            return false;
        m_pending = pending;
    }
    // Runs on the window's thread, as does the tear-down that may abandon it: the two never overlap.
    m_window.Post([this, pending] {
        if (pending->Abandoned)
            return;
        try {
            (*pending->Function)();
        } catch (...) {
            pending->Failure = std::current_exception();
        }
        {
            std::lock_guard lock(m_callMutex);
            pending->Done = true;
        }
        m_callDone.notify_all();
    });
    std::unique_lock lock(m_callMutex);
    m_callDone.wait(lock, [&] { return pending->Done || m_tornDown; });
    m_pending.reset();
    if (!pending->Done)
        return false;
    if (pending->Failure)
        std::rethrow_exception(pending->Failure);
    return true;
}

} // namespace lw
