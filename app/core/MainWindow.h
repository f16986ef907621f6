#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/JobWorker.h"
#include "app/core/PhraseChecks.h"
#include "jobs/AskUser.h"
#include "jobs/HandOff.h"
#include "platform/PathShortener.h"

// What the program's window decides, with no toolkit: each face (the Qt window, a native
// one) creates the controls, forwards their events here and shows what it is told.
namespace lw {

// The controls this class speaks of, by the window's own names.
enum class TControl {
    Edit1,
    Button1,
    Label3,
    Button3,
    folders,
    Button4,
    GroupBox1,
    ciphers,
    Button2,
    label2,
    Panel1,
    compbox,
    emailbox,
    delmailbox,
    runbox,
    shredbox,
    copybox,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(TControl::copybox) + 1;

// A face of the window as the shared class sees it: calls that show, and reads of what
// only the user changes (check marks, the phrase). Told rather than handed a state to
// render, so each face changes exactly the control concerned and nothing is diffed.
class IMainWindowView {
public:
    virtual ~IMainWindowView() = default;
    // The caption of Button1, the text of Label3 and label2, the status line Panel1.
    virtual void SetCaption(TControl control, const std::string& text) = 0;
    virtual void SetEnabled(TControl control, bool enabled) = 0;
    virtual void SetFocus(TControl control) = 0;
    // -1 selects nothing; shown without coming back as ciphersClick.
    virtual void SetCipherIndex(int index) = 0;
    // The whole list of saved folders and its selection (-1: none).
    virtual void SetFolderItems(const std::vector<std::string>& items, int selected) = 0;
    // The status line gives way to the running job's progress, read from Progress().
    virtual void ShowJobProgress(bool running) = 0;
    // The application's error box.
    virtual void ShowError(const std::string& text) = 0;
    // Starts a close, which comes back as FormCloseQuery.
    virtual void Close() = 0;

    virtual bool Checked(TControl box) const = 0;
    // Edit1's text into phrase, leaving no copy of the face's own behind.
    virtual void ReadPhrase(std::string& phrase) const = 0;
    virtual void ClearPhrase() = 0;
    // The hint of the control under the pointer or of the first control around it that has
    // one; empty when the pointer is elsewhere.
    virtual std::string HintUnderPointer() const = 0;
};

// The modal chooser of folders (see PickFolder): folder in is the initial selection, out on
// true the chosen folder.
class IFolderPicker {
public:
    virtual ~IFolderPicker() = default;
    virtual bool PickFolder(const std::string& caption, const std::string& root, std::string& folder) = 0;
};

// Everything the window reaches beyond itself; all must outlive it.
struct TMainWindowServices {
    IMainWindowView& View;
    IHoldableWindowThread& Thread;
    IAskUser& Ask;
    IHandOff& HandOff;
    IAskPhraseAgain& PhraseAgain;
    IFolderPicker& Picker;
    TTextMeasurer Measure; // in the window's font
};

class TMainWindow final {
public:
    // The source is the file of this run; the settings (".ini") and the saved folders (".dat").
    TMainWindow(TMainWindowServices services, std::string sourcePath, std::string settingsPath,
                std::string folderListPath);
    // A job still running is stopped and waited for.
    ~TMainWindow();
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    // Handlers, named after the window's; they may raise, and the face shows what they raise
    // in its error box. FormCreate and FormCloseQuery report their own failures.
    void FormCreate();
    // Start-up's set-up for the mode: Button1's caption, runbox and compbox.
    void SetUpForMode(bool decrypt);
    void Button1Click();
    void Edit1Return(); // Enter in the key field: Button1, when it is enabled
    void Button2Click();
    void ciphersClick(int index); // the selection the user changed to
    void emailboxClick();
    void delmailboxClick();
    void Button4Click();
    void foldersSelect(int index);
    void foldersKeyDown(int virtualKey);
    void Label3DblClick();
    void Button3Click();
    // False keeps the window open: a job is running (and was asked about).
    bool FormCloseQuery();
    // The application has fallen idle: the hint under the pointer goes to the status line.
    void ApplicationIdle();

    static constexpr int kVkDelete = 46;
    static constexpr int kSourceWidth = 300;
    static constexpr int kFolderWidth = 232;

    // True from the press of a button until its job or wipe has ended.
    bool JobRunning() const { return m_worker != nullptr; }
    TProgressState Progress() const { return m_worker ? m_worker->Progress() : TProgressState{}; }
    const std::string& DestinationFolder() const { return m_destinationFolder; }
    int CipherIndex() const { return m_cipher; }
    const std::vector<std::string>& Folders() const { return m_folders; }
    int FolderIndex() const { return m_folderIndex; }
    bool Enabled(TControl control) const { return m_enabled[Index(control)]; }

private:
    static constexpr std::size_t Index(TControl control) { return static_cast<std::size_t>(control); }
    void SetEnabled(TControl control, bool enabled);
    std::string Shortened(const std::string& path, int width) const;
    void WriteCipher() const;
    void ShowDestination();
    void StartJob(TJobWorker::TWork work, std::function<void()> afterJob);
    void JobEnded();
    void LockControlsForJob(bool locked);
    void AskToStopAndClose();

    IMainWindowView& m_view;
    IHoldableWindowThread& m_thread;
    IAskUser& m_ask;
    IHandOff& m_handOff;
    IAskPhraseAgain& m_phraseAgain;
    IFolderPicker& m_picker;
    const TTextMeasurer m_measure;
    const std::string m_sourcePath;
    const std::string m_settingsPath;
    const std::string m_folderListPath;

    bool m_decrypt = false;
    int m_cipher = 0; // the layout's selection until the settings are read
    std::string m_destinationFolder;
    std::vector<std::string> m_folders; // sorted, duplicates kept
    int m_folderIndex = -1;
    std::array<bool, kControlCount> m_enabled{};
    std::string m_lastHint;
    bool m_hintsShown = false; // the last step of a creation that went through

    std::unique_ptr<TJobWorker> m_worker;
    std::function<void()> m_afterJob;
    std::array<bool, kControlCount> m_enabledBeforeJob{};
    bool m_askingToStop = false;
    bool m_closeAfterJob = false;
    bool m_closed = false;
};

} // namespace lw
