#pragma once

// The shared window with a recording face, a window thread the test pumps, a scripted
// folder picker and scripted boxes, on a temp folder.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "app/core/MainWindow.h"
#include "jobs/JobDoubles.h"

namespace lwtest {

using lw::TControl;

// Shows nothing: remembers what it was told, and answers check marks and the phrase as set.
class FakeView final : public lw::IMainWindowView {
public:
    void SetCaption(TControl control, const std::string& text) override { captions[control] = text; }
    void SetEnabled(TControl control, bool enabled) override { shownEnabled[control] = enabled; }
    void SetFocus(TControl control) override { focus = control; }
    void SetCipherIndex(int index) override { cipherShown.push_back(index); }
    void SetFolderItems(const std::vector<std::string>& list, int selected) override
    {
        items = list;
        selectedItem = selected;
    }
    void ShowJobProgress(bool running) override { progress.push_back(running); }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    // As a face does: the close comes back as the close query, which may refuse it.
    void Close() override
    {
        ++closeRequests;
        if (window && window->FormCloseQuery())
            closed = true;
    }
    bool Checked(TControl box) const override
    {
        const auto found = checked.find(box);
        return found != checked.end() && found->second;
    }
    void ReadPhrase(std::string& text) const override { text = phrase; }
    void ClearPhrase() override { phrase.clear(); }
    std::string HintUnderPointer() const override { return hint; }

    lw::TMainWindow* window = nullptr;
    std::map<TControl, std::string> captions;
    std::map<TControl, bool> shownEnabled;
    std::map<TControl, bool> checked;
    std::optional<TControl> focus;
    std::vector<int> cipherShown;
    std::vector<std::string> items;
    int selectedItem = -1;
    std::vector<bool> progress;
    std::vector<std::string> errors;
    int closeRequests = 0;
    bool closed = false;
    std::string phrase;
    std::string hint;
};

// The window's thread is the test's: posted calls run when the test pumps them.
class FakeThread final : public lw::IHoldableWindowThread {
public:
    void Post(std::function<void()> call) override
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(call));
        m_posted.notify_all();
    }
    void Hold() override
    {
        EXPECT_FALSE(m_held) << "held twice";
        m_held = true;
        ++holds;
    }
    void Release() override { m_held = false; }

    // Runs posted calls here until done() holds; false when nothing came for two minutes
    // (a job that hangs, not a speed limit).
    bool RunUntil(const std::function<bool()>& done)
    {
        while (!done()) {
            std::function<void()> call;
            {
                std::unique_lock lock(m_mutex);
                if (!m_posted.wait_for(lock, std::chrono::minutes(2), [this] { return !m_queue.empty(); }))
                    return false;
                call = std::move(m_queue.front());
                m_queue.pop_front();
            }
            EXPECT_FALSE(m_held) << "a job's call ran while the window's own question was open";
            call();
        }
        return true;
    }

    int holds = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_queue;
    bool m_held = false;
};

class FakePicker final : public lw::IFolderPicker {
public:
    bool PickFolder(const std::string& caption, const std::string& root, std::string& folder) override
    {
        calls.push_back(caption + "|" + root + "|" + folder);
        if (!next)
            return false;
        folder = *next;
        return true;
    }
    std::vector<std::string> calls;
    std::optional<std::string> next; // nullopt: cancelled
};

class FakePhraseAgain final : public lw::IAskPhraseAgain {
public:
    bool AskPhraseAgain(std::string& phrase) override
    {
        ++asked;
        phrase = again;
        return true;
    }
    int asked = 0;
    std::string again;
};

// Boxes through a script, with a hook that runs inside each box as the user would.
class HookedAsk final : public lw::IAskUser {
public:
    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        if (onBox)
            onBox(text);
        return script.AskUser(kind, text, buttons);
    }
    lw::TMsgDlgBtn AskUserWithDefault(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons,
                                      lw::TMsgDlgBtn defaultButton) override
    {
        if (onBox)
            onBox(text);
        return script.AskUserWithDefault(kind, text, buttons, defaultButton);
    }
    lw::TMsgDlgBtn AskUserWithDetail(lw::TMsgDlgType kind, const std::string& text, const std::string& detail,
                                     lw::TMsgDlgButtons buttons) override
    {
        if (onBox)
            onBox(text);
        return script.AskUserWithDetail(kind, text, detail, buttons);
    }
    ScriptedAsk script;
    std::function<void(const std::string&)> onBox;
};

// Every character is 6 pixels wide.
inline int SixPixels(const std::string& text)
{
    return static_cast<int>(text.size()) * 6;
}

class WindowRig {
public:
    // Creates the window as start-up does: created, then set up for the mode.
    lw::TMainWindow& Open(const std::string& source, bool decrypt = false)
    {
        window = std::make_unique<lw::TMainWindow>(
            lw::TMainWindowServices{view, thread, ask, handOff, again, picker, SixPixels}, source, Ini(), Dat());
        view.window = window.get();
        window->FormCreate();
        window->SetUpForMode(decrypt);
        return *window;
    }
    // Lets the job or wipe a button started run to its end.
    void WaitForJob()
    {
        if (!thread.RunUntil([this] { return !window->JobRunning(); }))
            ADD_FAILURE() << "the job did not end";
    }

    std::string Ini() const { return dir / "lockwell.ini"; }
    std::string Dat() const { return dir / "lockwell.dat"; }
    std::string Text(const std::string& path) const
    {
        const auto bytes = ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }
    void Put(const std::string& path, const std::string& text) const
    {
        WriteFile(path, Bytes(text.begin(), text.end()));
    }
    // The shared window's word and the face's must agree.
    bool Enabled(TControl control) const
    {
        const bool decided = window->Enabled(control);
        const auto shown = view.shownEnabled.find(control);
        if (shown != view.shownEnabled.end()) {
            EXPECT_EQ(shown->second, decided) << "control " << static_cast<int>(control);
        }
        return decided;
    }

    TempDir dir;
    FakeView view;
    FakeThread thread;
    HookedAsk ask;
    RecordingHandOff handOff;
    FakePhraseAgain again;
    FakePicker picker;
    // Last: stopped before the doubles it reaches go.
    std::unique_ptr<lw::TMainWindow> window;
};

} // namespace lwtest
