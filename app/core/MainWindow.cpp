#include "app/core/MainWindow.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <utility>

#include "jobs/Jobs.h"
#include "jobs/Wipe.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/FolderList.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"

namespace lw {
namespace {

constexpr const char* kStopQuestion = "Stop the running job?";
// Locked while a job runs; Button1 stays, as Stop.
constexpr TControl kLockedForJob[] = {TControl::Edit1,   TControl::GroupBox1, TControl::ciphers, TControl::Button2,
                                      TControl::Button3, TControl::Button4,   TControl::folders};

// How a job ended, told by the job's thread to the window's.
struct TJobOutcome {
    bool Ended = false;  // ran to its end or failed (false: abandoned, stopped or raised)
    bool Failed = false; // reported a failure or was stopped
    std::string Escaped; // what a job raised past its own reporting
    std::string Stopped; // after a stop: what the status line says became of the files
};

// After a stop the status line says what became of the files, not nothing.
std::string StoppedStatus(const TJobContext& context)
{
    if (context.OutputPath.empty())
        return "Stopped: nothing was written";
    if (context.SourceWipe == TWipeEnd::Overwritten)
        return "Stopped: the file was written; the source was overwritten but not deleted";
    return "Stopped: the file was written; the source was kept";
}

bool SameFolder(const std::string& a, const std::string& b)
{
    return !FolderSortsBefore(a, b) && !FolderSortsBefore(b, a);
}

// Runs a step whose failure is shown and does not stop its caller.
template <class Step>
void Reported(IMainWindowView& view, Step&& step)
{
    try {
        step();
    } catch (const std::exception& e) {
        view.ShowError(e.what());
    } catch (...) {
        view.ShowError("Unknown failure");
    }
}

} // namespace

TMainWindow::TMainWindow(TMainWindowServices services, std::string sourcePath, std::string settingsPath,
                         std::string folderListPath)
    : m_view(services.View), m_thread(services.Thread), m_ask(services.Ask), m_handOff(services.HandOff),
      m_phraseAgain(services.PhraseAgain), m_picker(services.Picker), m_measure(std::move(services.Measure)),
      m_sourcePath(std::move(sourcePath)), m_settingsPath(std::move(settingsPath)),
      m_folderListPath(std::move(folderListPath))
{
    m_enabled.fill(true);
    m_enabled[Index(TControl::Button3)] = false;
    m_enabled[Index(TControl::delmailbox)] = false;
}

TMainWindow::~TMainWindow()
{
    // Before anything the job may call goes.
    m_worker.reset();
}

void TMainWindow::SetEnabled(TControl control, bool enabled)
{
    m_enabled[Index(control)] = enabled;
    m_view.SetEnabled(control, enabled);
}

std::string TMainWindow::Shortened(const std::string& path, int width) const
{
    return ShortenPathToWidth(path, m_measure, width);
}

void TMainWindow::WriteCipher() const
{
    if (!profile::WritePrivateProfileString("Options", "Cipher", std::to_string(m_cipher), m_settingsPath))
        throw Exception("Unable to write to " + m_settingsPath);
}

void TMainWindow::FormCreate()
{
    SetEnabled(TControl::Button3, false);
    SetEnabled(TControl::delmailbox, false);
    try {
        // Like a radio group: above 3 selects the last item, below -1 selects nothing.
        const int stored = std::clamp(profile::ReadInteger("Options", "Cipher", 1, m_settingsPath), -1, 3);
        if (stored != m_cipher) {
            m_cipher = stored;
            m_view.SetCipherIndex(stored);
            // A new selection is written back as a click would; a selection cleared is not.
            if (stored >= 0)
                Reported(m_view, [this] { WriteCipher(); });
        }
        if (fs::FileExists(m_folderListPath)) {
            m_folders = ReadFolderList(m_folderListPath);
            std::stable_sort(m_folders.begin(), m_folders.end(),
                             [](const std::string& a, const std::string& b) { return FolderSortsBefore(a, b); });
            m_folderIndex = -1;
            m_view.SetFolderItems(m_folders, m_folderIndex);
        }
        m_view.SetCaption(TControl::label2, Shortened(m_sourcePath, kSourceWidth));
        m_view.SetCaption(TControl::Label3, Shortened(path::ExtractFilePath(m_sourcePath), kFolderWidth));
        m_hintsShown = true;
    } catch (const std::exception& e) {
        // The rest of creation is skipped; the window still opens.
        m_view.ShowError(e.what());
    }
}

void TMainWindow::SetUpForMode(bool decrypt)
{
    m_decrypt = decrypt;
    SetEnabled(TControl::runbox, decrypt);
    SetEnabled(TControl::compbox, !decrypt);
    m_view.SetCaption(TControl::Button1, decrypt ? "&Decrypt" : "&Encrypt");
}

void TMainWindow::ApplicationIdle()
{
    // The progress has the status line while a job runs.
    if (m_worker || !m_hintsShown)
        return;
    std::string hint = m_view.HintUnderPointer();
    if (const auto bar = hint.find('|'); bar != std::string::npos)
        hint.erase(0, bar + 1);
    if (hint != m_lastHint) {
        m_lastHint = hint;
        m_view.SetCaption(TControl::Panel1, hint);
    }
}

void TMainWindow::Edit1Return()
{
    if (Enabled(TControl::Button1))
        Button1Click();
}

void TMainWindow::Button1Click()
{
    if (m_worker) {
        m_worker->RequestStop();
        SetEnabled(TControl::Button1, false);
        return;
    }
    const bool decrypt = m_decrypt;
    // Shared by the window and the job; its phrase is wiped when the last of them lets go.
    auto job = std::make_shared<TJobOptions>();
    TJobOptions& options = *job;
    m_view.ReadPhrase(options.KeyPhrase.Buffer());
    options.SourcePath = m_sourcePath;
    options.CipherIndex = m_cipher;
    options.DestinationFolder = m_destinationFolder;
    options.Compress = m_view.Checked(TControl::compbox);
    options.DeleteSource = m_view.Checked(TControl::shredbox);
    options.CopyToClipboard = m_view.Checked(TControl::copybox) && Enabled(TControl::copybox);
    options.RunOutput = m_view.Checked(TControl::runbox);
    options.SendByMail = m_view.Checked(TControl::emailbox);
    options.DeleteAfterMail = m_view.Checked(TControl::delmailbox);

    // Stopped here, the window stays as it was, the phrase typed included.
    TPhraseChecks checks(m_ask, m_phraseAgain);
    if (!checks.MayRun(!decrypt, options.DeleteSource, options.KeyPhrase.View()))
        return;

    auto outcome = std::make_shared<TJobOutcome>();
    StartJob(
        [job, outcome, decrypt](TJobWorker::TServices& services) {
            TJobContext context{services.Ask, services.HandOff};
            context.Progress = &services.Progress;
            context.Stop = &services.Stop;
            try {
                outcome->Ended = decrypt ? RunDecryptJob(*job, context) : RunEncryptJob(*job, context);
                // The source was to go and did not: the user must not believe it gone.
                if (context.SourceWipe == TWipeEnd::Kept || context.SourceWipe == TWipeEnd::Overwritten)
                    services.Ask.AskUserWithDetail(TMsgDlgType::mtWarning, "File NOT deleted", context.SourceKept,
                                                   mbOK);
            } catch (const std::exception& e) {
                outcome->Escaped = e.what();
            }
            outcome->Failed = !context.FailureReason.empty() || context.Stopped;
            if (context.Stopped)
                outcome->Stopped = StoppedStatus(context);
        },
        [this, outcome] {
            if (!outcome->Escaped.empty())
                m_view.ShowError(outcome->Escaped);
            if (!outcome->Stopped.empty())
                m_view.SetCaption(TControl::Panel1, outcome->Stopped);
            // After a failure or a stop the user may correct the cipher or the phrase and go again.
            if (outcome->Ended && !outcome->Failed) {
                m_view.ClearPhrase();
                m_view.Close();
            }
        });
}

void TMainWindow::Button2Click()
{
    StartJob(
        [path = m_sourcePath](TJobWorker::TServices& services) {
            std::string why;
            switch (WipeFile(nullptr, path, services.Ask, &why, &services.Progress, &services.Stop)) {
            case TWipeEnd::Deleted: services.Ask.AskUser(TMsgDlgType::mtInformation, "File deleted", mbOK); break;
            case TWipeEnd::Declined: services.Ask.AskUser(TMsgDlgType::mtWarning, "File NOT deleted", mbOK); break;
            default: services.Ask.AskUserWithDetail(TMsgDlgType::mtWarning, "File NOT deleted", why, mbOK);
            }
        },
        [this] { m_view.Close(); });
}

void TMainWindow::StartJob(TJobWorker::TWork work, std::function<void()> afterJob)
{
    m_afterJob = std::move(afterJob);
    m_worker = std::make_unique<TJobWorker>(m_thread, m_ask, m_handOff);
    LockControlsForJob(true);
    m_view.ShowJobProgress(true);
    m_worker->Start(std::move(work), [this] { Reported(m_view, [this] { JobEnded(); }); });
}

void TMainWindow::JobEnded()
{
    m_worker.reset();
    m_view.ShowJobProgress(false);
    LockControlsForJob(false);
    m_lastHint.clear();
    ApplicationIdle();
    if (auto after = std::exchange(m_afterJob, {}))
        after();
    if (m_closeAfterJob && !m_closed)
        m_view.Close();
}

void TMainWindow::LockControlsForJob(bool locked)
{
    if (locked) {
        m_enabledBeforeJob = m_enabled;
        for (const TControl control : kLockedForJob)
            SetEnabled(control, false);
        m_view.SetCaption(TControl::Button1, "Stop");
        m_view.SetFocus(TControl::Button1);
        return;
    }
    for (const TControl control : kLockedForJob)
        SetEnabled(control, m_enabledBeforeJob[Index(control)]);
    SetEnabled(TControl::Button1, true);
    m_view.SetCaption(TControl::Button1, m_decrypt ? "&Decrypt" : "&Encrypt");
    m_view.SetFocus(TControl::Edit1);
}

void TMainWindow::AskToStopAndClose()
{
    if (m_askingToStop)
        return;
    m_askingToStop = true;
    // The job's own boxes, and its end, wait until this is answered.
    m_thread.Hold();
    TMsgDlgBtn answer = mbNo;
    Reported(m_view, [&] {
        answer = m_ask.AskUserWithDefault(TMsgDlgType::mtConfirmation, kStopQuestion, mbYes | mbNo, mbNo);
    });
    m_askingToStop = false;
    if (answer == mbYes) {
        m_closeAfterJob = true;
        if (m_worker)
            m_worker->RequestStop();
    }
    m_thread.Release();
}

void TMainWindow::ciphersClick(int index)
{
    m_cipher = index;
    WriteCipher();
}

void TMainWindow::emailboxClick()
{
    SetEnabled(TControl::delmailbox, m_view.Checked(TControl::emailbox));
}

void TMainWindow::delmailboxClick()
{
    SetEnabled(TControl::copybox, !m_view.Checked(TControl::delmailbox));
}

void TMainWindow::Button4Click()
{
    m_destinationFolder.clear();
    if (m_picker.PickFolder("Select a folder", "", m_destinationFolder)) {
        // Sorted in after its equals: a folder already listed is listed again.
        const auto at = std::upper_bound(
            m_folders.begin(), m_folders.end(), m_destinationFolder,
            [](const std::string& folder, const std::string& item) { return FolderSortsBefore(folder, item); });
        m_folders.insert(at, m_destinationFolder);
    }
    const auto match = std::find_if(m_folders.begin(), m_folders.end(),
                                    [this](const std::string& item) { return SameFolder(item, m_destinationFolder); });
    m_folderIndex = match == m_folders.end() ? -1 : static_cast<int>(match - m_folders.begin());
    m_view.SetFolderItems(m_folders, m_folderIndex);
    // The label shows where the output will go: the picked folder, or after a cancelled pick the source's.
    ShowDestination();
}

void TMainWindow::ShowDestination()
{
    const bool elsewhere = !m_destinationFolder.empty();
    m_view.SetCaption(TControl::Label3,
                      Shortened(elsewhere ? m_destinationFolder : path::ExtractFilePath(m_sourcePath), kFolderWidth));
    SetEnabled(TControl::Button3, elsewhere);
}

void TMainWindow::foldersSelect(int index)
{
    if (index < 0 || index >= static_cast<int>(m_folders.size()))
        return;
    m_folderIndex = index;
    m_destinationFolder = m_folders[static_cast<std::size_t>(index)];
    ShowDestination();
}

void TMainWindow::foldersKeyDown(int virtualKey)
{
    if (virtualKey != kVkDelete || m_folderIndex < 0)
        return;
    m_folders.erase(m_folders.begin() + m_folderIndex);
    // As in a native list, the removed item's selection goes with it.
    m_folderIndex = -1;
    m_view.SetFolderItems(m_folders, m_folderIndex);
}

void TMainWindow::Label3DblClick()
{
    m_destinationFolder = path::ExtractFilePath(m_sourcePath);
    m_view.SetCaption(TControl::Label3, Shortened(m_destinationFolder, kFolderWidth));
}

void TMainWindow::Button3Click()
{
    m_destinationFolder.clear();
    ShowDestination();
}

bool TMainWindow::FormCloseQuery()
{
    if (m_worker) {
        // The window closes once the stopped job has ended.
        AskToStopAndClose();
        return false;
    }
    // A list that cannot be saved is reported, but never keeps the window open.
    Reported(m_view, [this] { WriteFolderList(m_folderListPath, m_folders); });
    m_closed = true;
    return true;
}

} // namespace lw
