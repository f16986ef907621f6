#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Jobs handed to a few threads and taken back in the order they were given, which is the
// order of the stream. The owner queues jobs and takes the oldest back when it is done; a
// job no worker has begun yet, the owner may run itself rather than wait. Each thread keeps
// a TState of its own (a decoder, say), and so does the owner once it runs a job.
namespace lw {

template <class TJob, class TState>
class TOrderedWorkers {
public:
    // Does a job's work, on a worker or on the owner. It must not throw: a failure travels
    // with its job, so that only the owner raises it.
    using TRun = std::function<void(TJob& job, TState& state)>;

    TOrderedWorkers(unsigned threads, TRun run) : m_threads(threads), m_run(std::move(run)) {}
    ~TOrderedWorkers() { Stop(); }
    TOrderedWorkers(const TOrderedWorkers&) = delete;
    TOrderedWorkers& operator=(const TOrderedWorkers&) = delete;

    // Threads start with the first jobs, one a job, up to the number asked for.
    void Push(std::shared_ptr<TJob> job)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back({std::move(job), TStage::waiting});
            if (m_workers.size() < m_threads)
                m_workers.emplace_back([this] { WorkerLoop(); });
        }
        m_workReady.notify_one();
    }

    // Jobs queued and not yet taken back.
    size_t Size()
    {
        std::lock_guard lock(m_mutex);
        return m_queue.size();
    }

    bool FrontDone()
    {
        std::lock_guard lock(m_mutex);
        return !m_queue.empty() && m_queue.front().stage == TStage::done;
    }

    // The oldest job once it is done, still queued until Pop; null when none is queued.
    // With runHere, a job no worker has begun is run on the owner; without, it is waited for.
    std::shared_ptr<TJob> Front(bool runHere)
    {
        std::unique_lock lock(m_mutex);
        if (m_queue.empty())
            return nullptr;
        // Only the owner takes entries out, so this one stays put while the lock is off.
        TEntry& front = m_queue.front();
        if (runHere && front.stage == TStage::waiting) {
            if (!m_ownerState)
                m_ownerState = std::make_unique<TState>();
            front.stage = TStage::running;
            lock.unlock();
            m_run(*front.job, *m_ownerState);
            lock.lock();
            front.stage = TStage::done;
        }
        m_jobDone.wait(lock, [&front] { return front.stage == TStage::done; });
        return front.job;
    }

    void Pop()
    {
        std::lock_guard lock(m_mutex);
        m_queue.pop_front();
    }

    // Drops every queued job; a worker already on one finishes it unseen.
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
    }

    // Joins the workers once each has finished the job in hand; queued jobs stay undone.
    void Stop() noexcept
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_workReady.notify_all();
        for (std::thread& t : m_workers)
            if (t.joinable())
                t.join();
        m_workers.clear();
    }

private:
    enum class TStage { waiting, running, done };
    struct TEntry {
        std::shared_ptr<TJob> job;
        TStage stage;
    };

    void WorkerLoop()
    {
        TState state;
        std::unique_lock lock(m_mutex);
        for (;;) {
            TEntry* entry = nullptr;
            m_workReady.wait(lock, [&] {
                if (m_stopping)
                    return true;
                for (TEntry& e : m_queue)
                    if (e.stage == TStage::waiting) {
                        entry = &e;
                        return true;
                    }
                return false;
            });
            if (m_stopping)
                return;
            entry->stage = TStage::running;
            const std::shared_ptr<TJob> job = entry->job;
            lock.unlock();
            m_run(*job, state);
            lock.lock();
            // Entries ahead may have been taken meanwhile, or all of them dropped.
            for (TEntry& e : m_queue)
                if (e.job == job)
                    e.stage = TStage::done;
            m_jobDone.notify_all();
        }
    }

    const unsigned m_threads;
    const TRun m_run;
    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_jobDone;
    std::deque<TEntry> m_queue; // in stream order
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
    std::unique_ptr<TState> m_ownerState;
};

} // namespace lw
