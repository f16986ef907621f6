#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <windows.h>

#include "desktop/windows/FolderPicker.h"

namespace {

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string path = folder;
    return path.substr(0, path.size() - 1); // without its final backslash
}

// Wine makes windows only with a graphics driver that works here: the prefix of
// scripts/windows.sh has one, and its ctest run sets LOCKWELL_REQUIRE_WINDOWS.
bool CanShowWindows()
{
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!probe)
        return false;
    DestroyWindow(probe);
    return true;
}

class WindowsFolderPicker : public testing::Test {
protected:
    void SetUp() override
    {
        if (CanShowWindows())
            return;
        const DWORD error = GetLastError();
        char required[8] = {};
        if (GetEnvironmentVariableA("LOCKWELL_REQUIRE_WINDOWS", required, sizeof required) > 0)
            FAIL() << "no window can be made, error " << error;
        GTEST_SKIP() << "no window can be made: Wine has no display and no null graphics driver set";
    }
};

// What the helper saw while the dialog was open.
struct TSeen {
    bool dialog = false;
    bool ownerEnabled = true;
    UINT errorMode = 0;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Answers the dialog of `thread` with `command` (IDOK or IDCANCEL) once it shows, as a
// person would; gives up after a bound.
class DialogAnswerer {
public:
    DialogAnswerer(DWORD thread, WPARAM command, HWND owner)
        : m_helper([this, thread, command, owner] {
              for (int i = 0; i < 400; ++i) {
                  HWND dialog = nullptr;
                  EnumThreadWindows(thread, &FindDialog, reinterpret_cast<LPARAM>(&dialog));
                  if (dialog) {
                      Sleep(200); // let the initial selection settle, as a person would
                      m_seen.dialog = true;
                      m_seen.ownerEnabled = owner && IsWindowEnabled(owner);
                      m_seen.errorMode = GetErrorMode();
                      PostMessageA(dialog, WM_COMMAND, command, 0);
                      return;
                  }
                  Sleep(25);
              }
          })
    {}
    ~DialogAnswerer()
    {
        if (m_helper.joinable())
            m_helper.join();
    }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    const TSeen& Seen()
    {
        m_helper.join();
        return m_seen;
    }

private:
    TSeen m_seen;
    std::thread m_helper;
};

TEST_F(WindowsFolderPicker, CancelKeepsTheCheckedInitialFolder)
{
    const struct {
        std::string initial;
        std::string after;
    } cases[] = {
        {TempFolder(), TempFolder()},
        {TempFolder() + "\\no such folder", ""}, // not an existing folder: none given
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string folder = c.initial;
        DialogAnswerer answerer(GetCurrentThreadId(), IDCANCEL, nullptr);
        EXPECT_FALSE(lw::PickFolder("Select a folder", "", folder, nullptr)) << c.initial;
        EXPECT_TRUE(answerer.Seen().dialog) << c.initial;
        EXPECT_EQ(folder, c.after) << c.initial;
    }
}

TEST_F(WindowsFolderPicker, ConfirmReturnsTheInitialSelection)
{
    std::string folder = TempFolder();
    DialogAnswerer answerer(GetCurrentThreadId(), IDOK, nullptr);
    EXPECT_TRUE(lw::PickFolder("Select a folder", "", folder, nullptr));
    EXPECT_TRUE(answerer.Seen().dialog);
    EXPECT_EQ(CharUpperA(folder.data()), std::string(CharUpperA(TempFolder().data())));
}

TEST_F(WindowsFolderPicker, ConfirmUnderARootReturnsTheInitialSelection)
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string folder = system;
    DialogAnswerer answerer(GetCurrentThreadId(), IDOK, nullptr);
    EXPECT_TRUE(lw::PickFolder("Select a folder", windows, folder, nullptr));
    EXPECT_EQ(CharUpperA(folder.data()), std::string(CharUpperA(system)));
}

TEST_F(WindowsFolderPicker, OtherWindowsAreDisabledOnlyWhileOpen)
{
    HWND owner = CreateWindowExA(0, "STATIC", "Lockwell", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    const UINT before = SetErrorMode(0);
    std::string folder;
    DialogAnswerer answerer(GetCurrentThreadId(), IDCANCEL, owner);
    EXPECT_FALSE(lw::PickFolder("Select a folder", "", folder, owner));
    const TSeen& seen = answerer.Seen();
    EXPECT_TRUE(seen.dialog);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(seen.errorMode & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS));
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetErrorMode(), 0u);
    SetErrorMode(before);
    DestroyWindow(owner);
}

} // namespace
