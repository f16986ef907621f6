#pragma once
// Test doubles for the jobs' seams: a scripted message box, a recording hand-off, a
// file-system fault hook, a job run through them, helper processes and a file stream
// that records (and can refuse) its writes.
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "JobRows.h"
#include "TestUtil.h"
#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"
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
    return out << "{kind " << static_cast<int>(box.kind) << ", \"" << box.text << "\", buttons " << int(box.buttons)
               << "}";
}

// Boxes with one button answer it; the others take the next scripted answer.
class ScriptedAsk final : public lw::IAskUser {
public:
    explicit ScriptedAsk(std::deque<lw::TMsgDlgBtn> answers = {}) : m_answers(std::move(answers)) {}

    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        boxes.push_back({kind, text, buttons});
        defaults.push_back(lw::TMsgDlgBtn{});
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
    lw::TMsgDlgBtn AskUserWithDetail(lw::TMsgDlgType kind, const std::string& text, const std::string& detail,
                                     lw::TMsgDlgButtons buttons) override
    {
        details.push_back(detail);
        return AskUser(kind, text, buttons);
    }
    lw::TMsgDlgBtn AskUserWithDefault(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons,
                                      lw::TMsgDlgBtn defaultButton) override
    {
        const lw::TMsgDlgBtn answer = AskUser(kind, text, buttons);
        defaults.back() = defaultButton;
        return answer;
    }
    bool ScriptUsedUp() const { return m_answers.empty(); }

    std::vector<Box> boxes;
    std::vector<lw::TMsgDlgBtn> defaults; // one a box: the default asked for, 0 for none
    std::vector<std::string> details;     // of the boxes that came with one
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
// Each call goes first to `watch`, given how many calls of its kind came so far (this
// one included), which may act on the files or fail the call with an error of its own.
// Compression workers may reach the hook too, hence the lock.
class FaultScope {
public:
    using Watch = std::function<int(lw::fs::TFileOp op, int nth)>;
    explicit FaultScope(Watch watch = {}) : m_watch(std::move(watch)) { lw::fs::SetFaultHook(&FaultScope::Hook, this); }
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
        const auto it = m_counts.find(op);
        return it == m_counts.end() ? 0 : it->second;
    }

    std::vector<lw::fs::TFileOp> ops;

private:
    static int Hook(lw::fs::TFileOp op, void* context)
    {
        auto& self = *static_cast<FaultScope*>(context);
        const std::lock_guard<std::recursive_mutex> held(self.m_mutex);
        self.ops.push_back(op);
        const int nth = ++self.m_counts[op];
        if (const int error = self.m_watch ? self.m_watch(op, nth) : 0)
            return error;
        return self.m_from > 0 && op == self.m_op && nth >= self.m_from ? self.m_error : 0;
    }
    Watch m_watch;
    std::map<lw::fs::TFileOp, int> m_counts;
    std::recursive_mutex m_mutex;
    lw::fs::TFileOp m_op = lw::fs::TFileOp::Open;
    int m_from = 0;
    int m_error = 0;
};

// Working files named (as on a file system without unnamed files) or not, for one test.
class NamedWorkingFiles {
public:
    explicit NamedWorkingFiles(bool named) { lw::fs::AllowUnnamedFiles(!named); }
    ~NamedWorkingFiles() { lw::fs::AllowUnnamedFiles(true); }
    NamedWorkingFiles(const NamedWorkingFiles&) = delete;
    NamedWorkingFiles& operator=(const NamedWorkingFiles&) = delete;
};

// In memory: runs by the thousand, with a dozen fsyncs each, would wait on the disk for minutes.
struct ScratchDir : TempDir {
    ScratchDir() : TempDir(MemoryTempRoot()) {}
};

// The names in a folder with their contents ("/" for a folder).
inline std::map<std::string, Bytes> Snapshot(const std::string& folder)
{
    std::map<std::string, Bytes> all;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        all[entry.path().filename().string()] = entry.is_regular_file() ? ReadFile(entry.path().string()) : Bytes{'/'};
    return all;
}

// What a job showed and said.
struct JobEnd {
    bool returned = false;
    std::vector<Box> boxes;
    std::string reason;
    std::vector<std::string> handOffs;
    bool answered = true; // every scripted answer was taken
};

// One job with scripted answers and a recording hand-off.
inline JobEnd RunJob(bool encrypt, const lw::TJobOptions& options, std::deque<lw::TMsgDlgBtn> answers = {})
{
    ScriptedAsk ask(std::move(answers));
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    const bool returned = encrypt ? lw::RunEncryptJob(options, context) : lw::RunDecryptJob(options, context);
    return {returned, ask.boxes, context.FailureReason, handOff.calls, ask.ScriptUsedUp()};
}

// A job that must end with its result box and nothing else.
inline ::testing::AssertionResult EndsWithItsResult(bool encrypt, const lw::TJobOptions& options)
{
    const JobEnd end = RunJob(encrypt, options);
    const char* result = encrypt ? "File encrypted" : "File decrypted";
    if (end.returned && end.handOffs.empty() &&
        end.boxes == std::vector<Box>{{lw::TMsgDlgType::mtInformation, result, lw::mbOK}})
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "job did not end with \"" << result
                                         << "\": " << (end.boxes.empty() ? "" : end.boxes.back().text) << " "
                                         << end.reason;
}

// What a clean encrypt job makes of plain.
inline Bytes EncryptedByAJob(const Bytes& plain, const std::string& phrase, int cipher, bool compress)
{
    ScratchDir dir;
    WriteFile(dir / "doc", plain);
    EXPECT_TRUE(EndsWithItsResult(true, JobOptions(dir / "doc", phrase, cipher, compress)));
    return ReadFile(dir / (compress ? "doc.fez" : "doc.fe2"));
}

// A wipe whose question is answered OK.
struct WipeRun {
    lw::TWipeEnd end{};
    std::string reason;
    size_t boxes = 0;
    bool Deleted() const { return end == lw::TWipeEnd::Deleted; }
};

inline WipeRun Wipe(const std::string& path, std::unique_ptr<lw::TFileStream> stream = nullptr)
{
    ScriptedAsk ask({lw::mbOK});
    WipeRun run;
    run.end = lw::WipeFile(std::move(stream), path, ask, &run.reason);
    run.boxes = ask.boxes.size();
    return run;
}

// A row's name as a test's: what is not a letter or a digit becomes '_'.
inline std::string TestName(std::string name)
{
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}
struct RowName {
    template <class Info>
    std::string operator()(const Info& info) const
    {
        return TestName(info.param.name);
    }
};

// Sets or (with nullptr) removes an environment variable of this process.
inline void SetEnv(const char* name, const char* value)
{
#ifdef _WIN32
    ::_putenv_s(name, value ? value : "");
#else
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
#endif
}

inline constexpr const char* kOldCopiesLine =
    "This kind of file system keeps old copies of changed data: traces of the file may stay on the disk after the "
    "wipe.";

// tmpfs: in memory, and so in swap.
inline constexpr const char* kSwapLine =
    "This file system keeps files in memory, which may be written to swap: traces "
    "of the file may stay in the swap space after the wipe.";

inline bool Warned(const std::string& text)
{
    return text.find(kOldCopiesLine) != std::string::npos;
}

#ifdef _WIN32
// The wipe's question for the file at path. The Windows build warns only on ReFS and
// for compressed or sparse files, none of which the tests make.
inline std::string WipeQuestion(const std::string& path, bool = false)
{
    const std::filesystem::path name(path);
    return "You are about to wipe " + name.filename().string() + "\r\nand make it unrecoverable.Continue?";
}

#else
// The type of the file system holding path (statfs f_type), if it can be read.
inline std::optional<unsigned long> FileSystemType(const std::string& path)
{
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFul;
}
inline constexpr unsigned long kTmpfs = 0x01021994ul;
inline constexpr unsigned long kExt4 = 0xEF53ul; // ext2, ext3 and ext4 alike
inline constexpr unsigned long kXfs = 0x58465342ul;

// The wipe's question for the file at path (which may be gone by now: its folder tells
// the file system). Where the test knows the file system, the warning line must be there
// (tmpfs, whose pages may go to swap) or must not (ext4, XFS, which overwrite in place);
// elsewhere it is there when it was shown.
inline std::string WipeQuestion(const std::string& path, bool shown = false)
{
    const std::filesystem::path name(path);
    const std::string first =
        "You are about to wipe " + name.filename().string() + "\r\nand make it unrecoverable.Continue?";
    const std::string warned = first + "\r\n" + kOldCopiesLine;
    const auto type = FileSystemType(name.has_parent_path() ? name.parent_path().string() : ".");
    if (type == kTmpfs)
        return first + "\r\n" + kSwapLine;
    if (!type || type == kExt4 || type == kXfs)
        return first;
    return shown ? warned : first;
}

// What lockwell-cli prints for that question: the warning line first, if any, then the
// question in its own words, naming the path, unless --yes answered it.
inline std::string ToolWipeLines(const std::string& path, bool yes, bool shown = false)
{
    const std::string box = WipeQuestion(path, shown);
    const size_t end = box.find("Continue?") + 9;
    std::string lines = end < box.size() ? box.substr(end + 2) + "\n" : "";
    return yes ? lines : lines + "Wipe \"" + path + "\" and make it unrecoverable?\n";
}

// Another process reading the file as a job does: open, with a shared whole-file lock,
// until End. Made before the test opens the file itself, so the child shares none of its
// open files (and none of their locks).
class LockingReader {
public:
    explicit LockingReader(const std::string& path)
        : m_child([&path](int end, int ready) {
              const int fd = ::open(path.c_str(), O_RDONLY);
              struct flock lock {};
              lock.l_type = F_RDLCK;
              lock.l_whence = SEEK_SET;
              const char state = fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 'L' : 'E';
              char c = 0;
              if (::write(ready, &state, 1) == 1)
                  (void)!::read(end, &c, 1); // returns when the test is done with it
              return 0;
          }),
          m_locked(m_child.Read(1) == "L")
    {}

    bool Locked() const { return m_locked; }
    // The reader closes the file and exits; its lock goes with it.
    void End() { m_child.Wait(); }

private:
    ForkedChild m_child;
    bool m_locked;
};

// Runs body in a forked child that has become nobody (65534) and returns what it said;
// nothing when the child could not drop root's privileges.
inline std::optional<std::string> AsNobody(const std::function<std::string()>& body)
{
    ForkedChild child([&](int, int out) {
        std::string said = "\x01";
        if (::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
            ::setresuid(65534, 65534, 65534) == 0 && ::geteuid() == 65534)
            said = body();
        (void)!::write(out, said.data(), said.size());
        return 0;
    });
    const std::string said = child.Read();
    if (!child.Started() || said == "\x01")
        return std::nullopt;
    return said;
}

#endif

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
    ProbeFileStream(const std::string& path, std::vector<Put>& log, const FaultScope* faults, int64_t budget = -1)
        : lw::TFileStream(path, lw::TFileMode::fmOpenReadWriteShared), m_log(log), m_faults(faults), m_budget(budget)
    {}
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
