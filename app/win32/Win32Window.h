#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "app/win32/Win32AskUser.h"
#include "app/core/Layout.h"
#include "app/win32/Win32Thread.h"
#include "app/core/MainWindow.h"
#include "desktop/windows/WindowsHandOff.h"

namespace lw::win32 {

// The program's one window in plain Win32: it creates the controls, forwards their events
// to the shared TMainWindow, which decides, and shows what that says.
class TWin32Window final : private IMainWindowView, private IFolderPicker {
public:
    // The settings (".ini") and the saved folders (".dat") are named by the caller.
    TWin32Window(std::string sourcePath, std::string settingsPath, std::string folderListPath, TWin32AskUser& ask);
    ~TWin32Window() override;
    TWin32Window(const TWin32Window&) = delete;
    TWin32Window& operator=(const TWin32Window&) = delete;

    void SetUpForMode(bool decrypt);
    // Shows the window and runs the event loop until it closes.
    void Run();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Create(std::string sourcePath, std::string settingsPath, std::string folderListPath);
    void CreateControls();
    void Command(int row, int code);
    // A handler of the shared window; what it raises goes to the error box.
    template <class Handler>
    void Guarded(Handler&& handler) noexcept;
    HWND Control(TControl control) const;
    void ApplyEnabled(int row);
    void RefreshProgress();
    // In the window's font.
    int TextWidth(const std::string& text) const;
    HBRUSH StaticColours(HWND control, HDC dc) const;

    // IMainWindowView
    void SetCaption(TControl control, const std::string& text) override;
    void SetEnabled(TControl control, bool enabled) override;
    void SetFocus(TControl control) override;
    void SetCipherIndex(int index) override;
    void SetFolderItems(const std::vector<std::string>& items, int selected) override;
    void ShowJobProgress(bool running) override;
    void ShowError(const std::string& text) override;
    void Close() override;
    bool Checked(TControl box) const override;
    void ReadPhrase(std::string& phrase) const override;
    void ClearPhrase() override;
    std::string HintUnderPointer() const override;
    // IFolderPicker
    bool PickFolder(const std::string& caption, const std::string& root, std::string& folder) override;

    static constexpr std::size_t kRows = 23;
    static constexpr UINT_PTR kProgressTimer = 1;
    static constexpr UINT kProgressMs = 100;

    HWND m_hwnd = nullptr;
    HFONT m_font = nullptr;
    std::array<HWND, kRows> m_controls{};
    std::array<bool, kRows> m_ownEnabled{}; // as last set; a group box's items show both
    TWin32AskUser& m_ask;
    TWin32PhrasePrompt m_phrasePrompt;
    TWin32WindowThread m_thread;
    std::unique_ptr<TWindowsHandOff> m_handOff;
    std::unique_ptr<TMainWindow> m_window;
    std::string m_panelBeforeJob;
};

} // namespace lw::win32
