// The Windows half of the file services, against real processes and real files: an output
// never appears half-written under its name, even when the writer is killed; the sharing
// modes are the ones the jobs rely on; a wipe refuses what it could not finish.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "../JobDoubles.h"
#include "TestUtil.h"
#include "jobs/Wipe.h"
#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

constexpr const char* kChildFolder = "LOCKWELL_TEST_KILLED_WRITER";
constexpr const char* kChildNamed = "LOCKWELL_TEST_KILLED_WRITER_NAMED";
constexpr int64_t kWrittenBeforeKill = 3 << 20;

// What another program gets when it opens path as the jobs' neighbours would.
DWORD OpenError(const std::string& path, DWORD access, DWORD share)
{
    const HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    ::CloseHandle(h);
    return ERROR_SUCCESS;
}

struct Child {
    PROCESS_INFORMATION process{};
    ~Child()
    {
        if (process.hProcess) {
            ::TerminateProcess(process.hProcess, 1);
            ::WaitForSingleObject(process.hProcess, 10000);
            ::CloseHandle(process.hProcess);
            ::CloseHandle(process.hThread);
        }
    }
};

// Starts this test program again, running only the writer below in folder.
bool StartWriter(Child& child, const std::string& folder, bool named)
{
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    SetEnv(kChildFolder, folder.c_str());
    SetEnv(kChildNamed, named ? "1" : nullptr);
    std::string command = std::string("\"") + self + "\" --gtest_filter=KilledWriterChild.WritesUntilKilled";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const bool started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &child.process) != 0;
    SetEnv(kChildFolder, nullptr);
    SetEnv(kChildNamed, nullptr);
    return started;
}

} // namespace

// Run only as the child of the test below: writes an output and waits to be killed.
TEST(KilledWriterChild, WritesUntilKilled)
{
    const char* folder = std::getenv(kChildFolder);
    if (!folder || !*folder)
        GTEST_SKIP() << "the writer process of AtomicOutput.KilledWriterLeavesNothingUnderTheName";
    lw::fs::AllowUnnamedFiles(!std::getenv(kChildNamed));
    lw::TAtomicFile file(std::string(folder) + "/out.fe2", 0644);
    file.Stream().WriteBuffer(Bytes(size_t(kWrittenBeforeKill), 0x5A));
    file.Stream().FlushToDisk();
    WriteFile(std::string(folder) + "/ready", Bytes{1});
    for (int i = 0; i < 600; ++i)
        ::Sleep(100);
    FAIL() << "not killed";
}

TEST(AtomicOutput, KilledWriterLeavesNothingUnderTheName)
{
    struct Row {
        bool named;
        bool earlier;
    };
    for (const Row row : {Row{false, false}, Row{false, true}, Row{true, false}, Row{true, true}}) {
        SCOPED_TRACE(std::string(row.named ? "named" : "unnamed") + (row.earlier ? ", earlier output" : ""));
        TempDir dir;
        const std::string out = dir / "out.fe2";
        const Bytes earlier = RandomBytes(5000, 3);
        if (row.earlier)
            WriteFile(out, earlier);
        Child child;
        ASSERT_TRUE(StartWriter(child, dir.Path(), row.named));
        for (int i = 0; i < 600 && !fsys::exists(dir / "ready"); ++i)
            ::Sleep(50);
        ASSERT_TRUE(fsys::exists(dir / "ready")) << "the writer never got going";
        ASSERT_TRUE(::TerminateProcess(child.process.hProcess, 9));
        ASSERT_EQ(::WaitForSingleObject(child.process.hProcess, 10000), WAIT_OBJECT_0);

        // The earlier file is untouched, or there is none; never the 3 MiB written.
        if (row.earlier)
            EXPECT_EQ(ReadFile(out), earlier);
        else
            EXPECT_FALSE(fsys::exists(out));
        // The unnamed working file goes with the killed process; a named one stays as
        // the hidden ".lockwell-*.tmp" a later run may remove.
        size_t leftovers = 0;
        for (const auto& entry : fsys::directory_iterator(dir.Path())) {
            const std::string name = entry.path().filename().string();
            if (name != "ready" && name != "out.fe2") {
                ++leftovers;
                EXPECT_EQ(name.rfind(".lockwell-", 0), 0u) << name;
                EXPECT_EQ(fsys::file_size(entry.path()), uint64_t(kWrittenBeforeKill)) << name;
            }
        }
        EXPECT_EQ(leftovers, row.named ? 1u : 0u);
    }
}

TEST(AtomicOutput, CommitReplacesAndNoReplaceKeepsWhatAppeared)
{
    TempDir dir;
    const std::string out = dir / "o.bin";
    const Bytes data = RandomBytes(70000, 5);
    WriteFile(out, Bytes(10, 1));
    {
        lw::TAtomicFile file(out, 0644);
        file.Stream().WriteBuffer(data);
        file.Commit(lw::TCommitMode::Replace);
    }
    EXPECT_EQ(ReadFile(out), data);
    {
        lw::TAtomicFile file(out, 0644);
        file.Stream().WriteBuffer(Bytes(3, 2));
        EXPECT_THROW(file.Commit(lw::TCommitMode::NoReplace), lw::EFileError);
    }
    EXPECT_EQ(ReadFile(out), data);
    EXPECT_EQ(std::distance(fsys::directory_iterator(dir.Path()), fsys::directory_iterator()), 1);
}

// The working file is hidden until it has its name; the user's output must not stay so.
TEST(AtomicOutput, CommittedOutputIsNotHidden)
{
    for (const lw::TCommitMode mode : {lw::TCommitMode::Replace, lw::TCommitMode::NoReplace}) {
        for (const bool earlier : {false, true}) {
            if (earlier && mode == lw::TCommitMode::NoReplace)
                continue;
            TempDir dir;
            const std::string out = dir / "o.bin";
            if (earlier)
                WriteFile(out, Bytes(10, 1));
            {
                lw::TAtomicFile file(out, 0644);
                file.Stream().WriteBuffer(Bytes(100, 7));
                file.Commit(mode);
            }
            const DWORD attributes = ::GetFileAttributesA(out.c_str());
            ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(attributes & FILE_ATTRIBUTE_HIDDEN, 0u)
                << (mode == lw::TCommitMode::Replace ? "replace" : "no replace") << (earlier ? ", over a file" : "");
            EXPECT_EQ(ReadFile(out), Bytes(100, 7));
        }
    }
}

TEST(SharingModes, SourcesStayOpenToOthersOutputsDoNot)
{
    TempDir dir;
    const std::string path = dir / "s.txt";
    WriteFile(path, Bytes(100, 7));
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    {
        lw::TFileStream read(path, lw::TFileMode::fmOpenReadShared);
        EXPECT_EQ(OpenError(path, GENERIC_READ | GENERIC_WRITE, all), DWORD(ERROR_SUCCESS));
        EXPECT_FALSE(read.Writable());
    }
    {
        lw::TFileStream both(path, lw::TFileMode::fmOpenReadWriteShared);
        EXPECT_EQ(OpenError(path, GENERIC_READ | GENERIC_WRITE, all), DWORD(ERROR_SUCCESS));
        EXPECT_TRUE(both.Writable());
    }
    {
        lw::TFileStream created(path, lw::TFileMode::fmCreate);
        EXPECT_EQ(OpenError(path, GENERIC_READ, all), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(created.Size(), 0);
    }
    {
        lw::TAtomicFile output(dir / "o.bin", 0644);
        output.Stream().WriteBuffer(Bytes(10, 1));
        output.Commit(lw::TCommitMode::Replace);
    }
    // A file another program holds without sharing cannot be opened: the job's "File IO error".
    const HANDLE locked = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_THROW(lw::TFileStream(path, lw::TFileMode::fmOpenReadShared), lw::EFOpenError);
    ::CloseHandle(locked);
}

TEST(SharingModes, FileExistsCountsFilesNotFolders)
{
    TempDir dir;
    WriteFile(dir / "f", Bytes{1});
    fsys::create_directory(dir / "d");
    EXPECT_TRUE(lw::fs::FileExists(dir / "f"));
    EXPECT_FALSE(lw::fs::FileExists(dir / "d"));
    EXPECT_FALSE(lw::fs::FileExists(dir / "missing"));
    EXPECT_FALSE(lw::fs::FileExists(dir / "?"));
    EXPECT_THROW(lw::TFileStream(dir / "d", lw::TFileMode::fmOpenReadShared), lw::EFOpenError);
}

TEST(WindowsWipe, RefusesWhatItCouldNotFinishAndKeepsTheContent)
{
    struct Row {
        const char* name;
        bool readOnly;
        bool heldByReader;
        const char* reason;
    };
    for (const Row row : {Row{"read-only attribute", true, false, "cannot be deleted: it is marked read-only"},
                          Row{"a job reads it", false, true, "in use by another Lockwell job"}}) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir / "w.bin";
        const Bytes data = RandomBytes(9000, 11);
        WriteFile(path, data);
        if (row.readOnly)
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        std::unique_ptr<lw::TFileStream> reader;
        if (row.heldByReader) {
            reader = std::make_unique<lw::TFileStream>(path, lw::TFileMode::fmOpenReadShared);
            ASSERT_TRUE(reader->TryLock(false));
        }
        ScriptedAsk ask({lw::mbOK});
        std::string reason;
        EXPECT_NE(lw::WipeFile(nullptr, path, ask, &reason), lw::TWipeEnd::Deleted);
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        reader.reset();
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadFile(path), data);
    }
}

TEST(WindowsWipe, OverwritesAndDeletesAFileOthersMayShare)
{
    TempDir dir;
    const std::string path = dir / "w.bin";
    WriteFile(path, RandomBytes(12345, 2));
    // Another program with the file open for reading, sharing everything: the wipe's
    // exclusive lock keeps it from reading noise, and the deletion still goes through.
    const HANDLE other =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ScriptedAsk ask({lw::mbOK});
    std::string reason;
    EXPECT_EQ(lw::WipeFile(nullptr, path, ask, &reason), lw::TWipeEnd::Deleted) << reason;
    // What the other handle reads now is the last pass, never the old content.
    Bytes seen(12345);
    DWORD got = 0;
    ::SetFilePointer(other, 0, nullptr, FILE_BEGIN);
    ASSERT_TRUE(::ReadFile(other, seen.data(), DWORD(seen.size()), &got, nullptr));
    EXPECT_EQ(got, 12345u);
    EXPECT_FALSE(seen == RandomBytes(12345, 2));
    ::CloseHandle(other);
    EXPECT_FALSE(fsys::exists(path));
}
