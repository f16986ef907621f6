#pragma once
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/JobWorker.h"

#include "app/PhrasePrompt.h"
#include "app/SettingsFiles.h"
#include "jobs/AskUser.h"
#include "jobs/HandOff.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lw {

class TProgressPanel;
class TQtWindowThread;

// The program's one window: key phrase, cipher, options, destination folder, and the
// buttons that run one job or wipe the source. Its handlers run on the GUI thread; a job
// or wipe runs beside it, its boxes and hand-offs shown by the GUI thread while it waits.
class TForm1 final : public QWidget {
public:
    TForm1(std::string sourcePath, TSettingsFiles files, IAskUser& ask, IHandOff& handOff, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up's set-up for the mode: Button1's caption, runbox and compbox.
    void SetUpForMode(bool decrypt);
    // True from the press of a button until its job or wipe has ended.
    bool JobRunning() const { return m_worker != nullptr; }
    const std::string& DestinationFolder() const { return m_destinationFolder; }
    // The prompt for the phrase's second typing, for tests to drive.
    TPhrasePrompt& PhrasePrompt() { return m_phrasePrompt; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectHandlers();
    std::string Shortened(const std::string& path, int width) const;
    int CipherIndex() const;
    void SetCipherIndex(int index);
    void ApplicationIdle();
    void ShowDestination();

    // Runs work beside the window with the controls locked; afterJob follows on the GUI thread.
    void StartJob(TJobWorker::TWork work, std::function<void()> afterJob);
    void JobEnded();
    void LockControlsForJob(bool locked);
    // The close box or Escape during a job: asks, and on Yes stops the job and closes after it.
    void AskToStopAndClose();

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void ciphersClick();
    void emailboxClick();
    void delmailboxClick();
    void Button4Click();
    void foldersSelect(int index);
    void foldersKeyDown(int key);
    void foldersDropDown();
    void foldersCloseUp();
    void Label3DblClick();
    void Button3Click();
    void FormCloseQuery();

    static constexpr int kFoldersWidth = 233;

    const std::string m_sourcePath;
    const TSettingsFiles m_files;
    IAskUser& m_ask;
    IHandOff& m_handOff;
    TPhrasePrompt m_phrasePrompt{this};
    std::string m_destinationFolder;
    std::string m_folderListPath;
    QString m_lastHint;
    bool m_centred = false;
    bool m_decrypt = false;

    std::unique_ptr<TQtWindowThread> m_windowThread;
    std::unique_ptr<TJobWorker> m_worker;
    std::function<void()> m_afterJob;
    TProgressPanel* m_progress = nullptr;
    std::vector<std::pair<QWidget*, bool>> m_lockedForJob; // each control and whether it was enabled
    bool m_askingToStop = false;
    bool m_closeAfterJob = false;

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button3 = nullptr;
    QComboBox* folders = nullptr;
    QPushButton* Button4 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* ciphers = nullptr;
    QButtonGroup* cipherItems = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* label2 = nullptr;
    QLabel* Panel1 = nullptr;
    QCheckBox* compbox = nullptr;
    QCheckBox* emailbox = nullptr;
    QCheckBox* delmailbox = nullptr;
    QCheckBox* runbox = nullptr;
    QCheckBox* shredbox = nullptr;
    QCheckBox* copybox = nullptr;
};

} // namespace lw
