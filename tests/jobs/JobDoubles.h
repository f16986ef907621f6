#pragma once
// Test doubles for the jobs' seams: a scripted message box, a recording hand-off, a
// file-system fault hook and a file stream that records (and can refuse) its writes.
#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

namespace lwtest {

using Clock = std::chrono::steady_clock;

struct Box {
    lw::TMsgDlgType kind;
    std::string text;
    lw::TMsgDlgButtons buttons;
    bool operator==(const Box& other) const
    {
        return kind == other.kind && text == other.text && buttons == other.buttons;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Box& box)
{
    return out << "{kind " << static_cast<int>(box.kind) << ", \"" << box.text << "\", buttons "
               << int(box.buttons) << "}";
}

// Boxes with one button answer it; the others take the next scripted answer.
class ScriptedAsk final : public lw::IAskUser {
public:
    explicit ScriptedAsk(std::deque<lw::TMsgDlgBtn> answers = {}) : m_answers(std::move(answers)) {}

    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        boxes.push_back({kind, text, buttons});
        times.push_back(Clock::now());
        if ((buttons & (buttons - 1)) == 0)
            return static_cast<lw::TMsgDlgBtn>(buttons);
        if (m_answers.empty()) {
            ADD_FAILURE() << "unscripted box: " << text;
            return lw::mbCancel;
        }
        const lw::TMsgDlgBtn answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    bool ScriptUsedUp() const { return m_answers.empty(); }

    std::vector<Box> boxes;
    std::vector<Clock::time_point> times;

private:
    std::deque<lw::TMsgDlgBtn> m_answers;
};

// Records "clipboard:P", "events", "open:P" and "mail:P" in call order.
class RecordingHandOff final : public lw::IHandOff {
public:
    void PutFileOnClipboard(const std::string& path) override
    {
        calls.push_back("clipboard:" + path);
        if (!clipboardError.empty())
            throw lw::Exception(clipboardError);
    }
    bool SendFileToMailClient(const std::string& path) override
    {
        calls.push_back("mail:" + path);
        mailTime = Clock::now();
        return mailResult;
    }
    void OpenWithAssociatedApp(const std::string& path) override { calls.push_back("open:" + path); }
    void ProcessPendingEvents() override { calls.push_back("events"); }

    std::vector<std::string> calls;
    std::string clipboardError; // non-empty: the clipboard raises this
    bool mailResult = true;
    Clock::time_point mailTime{};
};

// Installs a fault hook for its lifetime: logs every operation and fails those chosen.
class FaultScope {
public:
    FaultScope() { lw::fs::SetFaultHook(&FaultScope::Hook, this); }
    ~FaultScope() { lw::fs::SetFaultHook(nullptr, nullptr); }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

    // Fails the nth call of op (1-based) and every later one with error.
    void FailFrom(lw::fs::TFileOp op, int nth, int error)
    {
        m_op = op;
        m_from = nth;
        m_error = error;
    }
    int Count(lw::fs::TFileOp op) const
    {
        int n = 0;
        for (auto logged : ops)
            n += logged == op;
        return n;
    }

    std::vector<lw::fs::TFileOp> ops;

private:
    static int Hook(lw::fs::TFileOp op, void* context)
    {
        auto& self = *static_cast<FaultScope*>(context);
        self.ops.push_back(op);
        if (self.m_from > 0 && op == self.m_op && self.Count(op) >= self.m_from)
            return self.m_error;
        return 0;
    }
    lw::fs::TFileOp m_op = lw::fs::TFileOp::Open;
    int m_from = 0;
    int m_error = 0;
};

struct Put {
    int64_t position;
    std::vector<uint8_t> bytes;
    int syncsBefore;
};

// A file stream that records each write with its position and the number of flushes
// (fsyncs seen by a FaultScope) before it, and can stop taking bytes after a budget.
// The log outlives the stream, which the wipe takes over.
class ProbeFileStream final : public lw::TFileStream {
public:
    ProbeFileStream(const std::string& path, std::vector<Put>& log, const FaultScope* faults,
                    int64_t budget = -1)
        : lw::TFileStream(path, lw::TFileMode::fmOpenReadWriteShared), m_log(log), m_faults(faults),
          m_budget(budget)
    {
    }
    int64_t Write(std::span<const uint8_t> buffer) override
    {
        const int syncs = m_faults ? m_faults->Count(lw::fs::TFileOp::Sync) : 0;
        m_log.push_back({Position(), {buffer.begin(), buffer.end()}, syncs});
        if (m_budget < 0)
            return lw::TFileStream::Write(buffer);
        const auto n = std::min<int64_t>(m_budget, static_cast<int64_t>(buffer.size()));
        m_budget -= n;
        return n > 0 ? lw::TFileStream::Write(buffer.first(static_cast<size_t>(n))) : 0;
    }

private:
    std::vector<Put>& m_log;
    const FaultScope* m_faults;
    int64_t m_budget;
};

} // namespace lwtest
