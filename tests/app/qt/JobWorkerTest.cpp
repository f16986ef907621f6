// The job beside the window: its boxes and hand-offs run on the window's thread in order,
// failures come back to the job, and tearing it down never hangs on an open question.
#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

#include "app/core/JobWorker.h"
#include "app/qt/QtWindowThread.h"
#include "jobs/JobDoubles.h"

namespace {

using lw::TMsgDlgType;
using lwtest::Box;

// The window's thread played by the test: posted calls run when the test says so.
class ManualWindow final : public lw::IWindowThread {
public:
    void Post(std::function<void()> call) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(std::move(call));
        }
        m_posted.notify_all();
    }
    // Runs the next posted call on this thread, waiting for one if need be.
    void RunNext()
    {
        std::function<void()> call;
        {
            std::unique_lock lock(m_mutex);
            ASSERT_TRUE(m_posted.wait_for(lock, std::chrono::seconds(30), [&] { return !m_calls.empty(); }))
                << "nothing was posted";
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        call();
    }
    void WaitForPost()
    {
        std::unique_lock lock(m_mutex);
        ASSERT_TRUE(m_posted.wait_for(lock, std::chrono::seconds(30), [&] { return !m_calls.empty(); }));
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_calls;
};

// Boxes recorded with the thread they ran on.
class ThreadAsk final : public lw::IAskUser {
public:
    explicit ThreadAsk(std::deque<lw::TMsgDlgBtn> answers) : script(std::move(answers)) {}
    lw::TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        threads.push_back(std::this_thread::get_id());
        return script.AskUser(kind, text, buttons);
    }
    lw::TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                     lw::TMsgDlgButtons buttons) override
    {
        threads.push_back(std::this_thread::get_id());
        return script.AskUserWithDetail(kind, text, detail, buttons);
    }
    lwtest::ScriptedAsk script;
    std::vector<std::thread::id> threads;
};

TEST(JobWorker, BoxesAndHandOffsRunOnTheWindowsThreadInOrder)
{
    ManualWindow window;
    ThreadAsk ask({lw::mbYes});
    lwtest::RecordingHandOff handOff;
    lw::TJobWorker worker(window, ask, handOff);
    lw::TMsgDlgBtn first = lw::mbCancel;
    bool ended = false;
    std::thread::id workThread;
    worker.Start(
        [&](lw::TJobWorker::TServices& s) {
            workThread = std::this_thread::get_id();
            first = s.Ask.AskUser(TMsgDlgType::mtWarning, "one", lw::mbYes | lw::mbNo);
            s.HandOff.PutFileOnClipboard("/f");
            s.Ask.AskUserWithDetail(TMsgDlgType::mtError, "File IO error", "why", lw::mbOK);
            s.Progress.Progress(lw::TJobPhase::Encrypting, 5, 10, 0);
        },
        [&] { ended = true; });
    for (int i = 0; i < 4 && !ended; ++i)
        window.RunNext();
    EXPECT_TRUE(ended);
    EXPECT_EQ(first, lw::mbYes) << "the answer reaches the job";
    EXPECT_EQ(ask.script.boxes, (std::vector<Box>{{TMsgDlgType::mtWarning, "one", lw::mbYes | lw::mbNo},
                                                  {TMsgDlgType::mtError, "File IO error", lw::mbOK}}));
    EXPECT_EQ(ask.script.details, std::vector<std::string>{"why"});
    EXPECT_EQ(handOff.calls, std::vector<std::string>{"clipboard:/f"});
    for (const auto& id : ask.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_NE(workThread, std::this_thread::get_id());
    const lw::TProgressState progress = worker.Progress();
    EXPECT_TRUE(progress.Known);
    EXPECT_EQ(progress.Phase, lw::TJobPhase::Encrypting);
    EXPECT_EQ(progress.Done, 5);
    EXPECT_EQ(progress.Expected, 10);
}

TEST(JobWorker, AFailureOnTheWindowsThreadReachesTheJob)
{
    ManualWindow window;
    lwtest::ScriptedAsk ask;
    lwtest::RecordingHandOff handOff;
    handOff.clipboardError = "Cannot open clipboard";
    lw::TJobWorker worker(window, ask, handOff);
    std::string caught;
    bool ended = false;
    worker.Start(
        [&](lw::TJobWorker::TServices& s) {
            try {
                s.HandOff.PutFileOnClipboard("/f");
            } catch (const lw::Exception& e) {
                caught = e.Message();
            }
        },
        [&] { ended = true; });
    while (!ended)
        window.RunNext();
    EXPECT_EQ(caught, "Cannot open clipboard");
}

// Torn down while the job waits for an answer: the job hears Cancel and a stop request,
// and the question posted for it no longer runs.
TEST(JobWorker, TearDownWithAQuestionOpenAnswersCancel)
{
    ManualWindow window;
    lwtest::ScriptedAsk ask;
    lwtest::RecordingHandOff handOff;
    lw::TMsgDlgBtn answer = lw::mbYes;
    bool stopSeen = false;
    {
        lw::TJobWorker worker(window, ask, handOff);
        worker.Start(
            [&](lw::TJobWorker::TServices& s) {
                answer = s.Ask.AskUser(TMsgDlgType::mtConfirmation, "wait", lw::mbYes | lw::mbNo);
                stopSeen = s.Stop.Requested();
                s.Ask.AskUser(TMsgDlgType::mtInformation, "after", lw::mbOK);
            },
            [] {});
        window.WaitForPost();
    }
    EXPECT_EQ(answer, lw::mbCancel);
    EXPECT_TRUE(stopSeen);
    window.RunNext(); // the abandoned question
    window.RunNext(); // the end
    EXPECT_TRUE(ask.boxes.empty()) << "nothing was shown for a job that is gone";
}

TEST(QtWindowThread, CallsForAWindowThatIsGoneAreDropped)
{
    bool ran = false;
    {
        QObject window;
        lw::TQtWindowThread thread(&window);
        thread.Post([&] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

} // namespace
