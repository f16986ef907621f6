#pragma once
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/PhrasePrompt.h"
#include "app/core/SettingsFiles.h"
#include "app/core/MainWindow.h"
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

// The program's one window as Qt shows it: it creates the controls, forwards their
// events to the shared TMainWindow, which decides, and shows what that says. Handlers run
// on the GUI thread; a job or wipe runs beside it, its boxes and hand-offs shown by the
// GUI thread while it waits.
class TForm1 final : public QWidget, private IMainWindowView, private IFolderPicker {
public:
    TForm1(std::string sourcePath, TSettingsFiles files, IAskUser& ask, IHandOff& handOff, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up's set-up for the mode: Button1's caption, runbox and compbox.
    void SetUpForMode(bool decrypt) { m_window->SetUpForMode(decrypt); }
    // True from the press of a button until its job or wipe has ended.
    bool JobRunning() const { return m_window->JobRunning(); }
    const std::string& DestinationFolder() const { return m_window->DestinationFolder(); }
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
    QWidget* Control(TControl control) const;
    void foldersDropDown();
    void foldersCloseUp();

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

    static constexpr int kFoldersWidth = 233;

    TPhrasePrompt m_phrasePrompt{this};
    bool m_centred = false;
    std::unique_ptr<TQtWindowThread> m_windowThread;
    std::unique_ptr<TMainWindow> m_window;
    TProgressPanel* m_progress = nullptr;
    // One widget a layout row, in row order.
    std::vector<QWidget*> m_controls;

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
