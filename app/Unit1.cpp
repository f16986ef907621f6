#include "app/Unit1.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

#include "app/ErrorBox.h"
#include "app/FolderPicker.h"
#include "app/PhraseChecks.h"
#include "app/ProgressPanel.h"
#include "app/QtWindowThread.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/FolderList.h"
#include "platform/Path.h"
#include "platform/PathShortener.h"
#include "platform/ProfileFile.h"

namespace lw {
namespace {

constexpr int kSourceWidth = 300;
constexpr int kFolderWidth = 232;
constexpr int kFolderBytes = Qt::UserRole; // the folder exactly as stored, for paths that are not UTF-8
constexpr const char* kStopQuestion = "Stop the running job?";

QString Display(const std::string& text)
{
    return QString::fromStdString(text);
}

// How a job ended, told by the job's thread to the window's.
struct TJobOutcome {
    bool Ended = false;  // ran to its end or failed (false: abandoned, stopped or raised)
    bool Failed = false; // reported a failure or was stopped
    std::string Escaped; // what a job raised past its own reporting
};

} // namespace

TForm1::TForm1(std::string sourcePath, TSettingsFiles files, IAskUser& ask, IHandOff& handOff, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      m_sourcePath(std::move(sourcePath)), m_files(std::move(files)), m_ask(ask), m_handOff(handOff),
      m_windowThread(std::make_unique<TQtWindowThread>(this))
{
    setObjectName("Form1");
    setWindowTitle("Lockwell");
    setFixedSize(325, 383);
    QFont face("Liberation Sans");
    face.setPixelSize(11);
    setFont(face);
    if (QFile::exists(":/icons/lockwell-32.png"))
        setWindowIcon(QIcon(":/icons/lockwell-32.png"));
    BuildControls();
    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1()
{
    // A job still running is stopped and waited for before anything it may call goes.
    m_worker.reset();
    // The controls go after this part of the window: nothing they do then may reach a handler.
    Label3->removeEventFilter(this);
    folders->removeEventFilter(this);
    folders->hidePopup();
}

void TForm1::ConnectHandlers()
{
    ConnectGuarded(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    ConnectGuarded(Edit1, &QLineEdit::returnPressed, this, [this] {
        if (Button1->isEnabled())
            Button1Click();
    });
    ConnectGuarded(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    ConnectGuarded(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    ConnectGuarded(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    ConnectGuarded(cipherItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            ciphersClick();
    });
    ConnectGuarded(emailbox, &QCheckBox::toggled, this, [this](bool) { emailboxClick(); });
    ConnectGuarded(delmailbox, &QCheckBox::toggled, this, [this](bool) { delmailboxClick(); });
    ConnectGuarded(folders, &QComboBox::activated, this, [this](int index) { foldersSelect(index); });
    Label3->installEventFilter(this);
    folders->installEventFilter(this);
}

void TForm1::SetUpForMode(bool decrypt)
{
    m_decrypt = decrypt;
    runbox->setEnabled(decrypt);
    compbox->setEnabled(!decrypt);
    Button1->setText(decrypt ? "&Decrypt" : "&Encrypt");
}

std::string TForm1::Shortened(const std::string& path, int width) const
{
    const QFontMetrics metrics(font());
    return ShortenPathToWidth(
        path, [&](const std::string& text) { return metrics.horizontalAdvance(Display(text)); }, width);
}

int TForm1::CipherIndex() const
{
    return cipherItems->checkedId();
}

// Like a radio group: above 3 selects the last item, below -1 selects nothing.
void TForm1::SetCipherIndex(int index)
{
    index = std::clamp(index, -1, 3);
    if (index >= 0) {
        cipherItems->button(index)->setChecked(true);
        return;
    }
    if (auto* checked = cipherItems->checkedButton()) {
        cipherItems->setExclusive(false);
        checked->setChecked(false);
        cipherItems->setExclusive(true);
    }
}

void TForm1::FormCreate()
{
    try {
        SetCipherIndex(profile::ReadInteger("Options", "Cipher", 1, m_files.SettingsPath()));
        m_folderListPath = m_files.FolderListPath();
        if (fs::FileExists(m_folderListPath)) {
            auto lines = ReadFolderList(m_folderListPath);
            std::stable_sort(lines.begin(), lines.end(),
                             [](const std::string& a, const std::string& b) { return FolderSortsBefore(a, b); });
            for (const auto& line : lines)
                folders->addItem(Display(line), QByteArray::fromStdString(line));
            folders->setCurrentIndex(-1);
        }
        label2->setText(Display(Shortened(m_sourcePath, kSourceWidth)));
        Label3->setText(Display(Shortened(path::ExtractFilePath(m_sourcePath), kFolderWidth)));
        // Dropped files are not taken, so the window does not register for them.
        if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
            ConnectGuarded(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { ApplicationIdle(); });
    } catch (const std::exception& e) {
        ShowApplicationError(e.what());
    }
}

void TForm1::ApplicationIdle()
{
    // The progress bar has the status line while a job runs.
    if (m_worker)
        return;
    QString hint;
    // Enter and leave events say whether the pointer is here: on Wayland QCursor::pos() keeps
    // its last place inside the window after the pointer has left.
    QWidget* under = underMouse() ? QApplication::widgetAt(QCursor::pos()) : nullptr;
    for (QWidget* w = under; w; w = w->parentWidget()) {
        hint = w->statusTip();
        if (!hint.isEmpty() || w->isWindow())
            break;
    }
    if (const auto bar = hint.indexOf('|'); bar >= 0)
        hint = hint.mid(bar + 1);
    if (hint != m_lastHint) {
        m_lastHint = hint;
        Panel1->setText(hint);
    }
}

void TForm1::Button1Click()
{
    if (m_worker) {
        m_worker->RequestStop();
        Button1->setEnabled(false);
        return;
    }
    const bool decrypt = m_decrypt;
    // Shared by the window and the job; its phrase is wiped when the last of them lets go.
    auto job = std::make_shared<TJobOptions>();
    TJobOptions& options = *job;
    ReadPhrase(*Edit1, options.KeyPhrase.Buffer());
    options.SourcePath = m_sourcePath;
    options.CipherIndex = CipherIndex();
    options.DestinationFolder = m_destinationFolder;
    options.Compress = compbox->isChecked();
    options.DeleteSource = shredbox->isChecked();
    options.CopyToClipboard = copybox->isChecked() && copybox->isEnabled();
    options.RunOutput = runbox->isChecked();
    options.SendByMail = emailbox->isChecked();
    options.DeleteAfterMail = delmailbox->isChecked();

    // Stopped here, the window stays as it was, the phrase typed included.
    TPhraseChecks checks(m_ask, m_phrasePrompt);
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
            } catch (const std::exception& e) {
                outcome->Escaped = e.what();
            }
            outcome->Failed = !context.FailureReason.empty() || context.Stopped;
        },
        [this, outcome] {
            if (!outcome->Escaped.empty())
                ShowApplicationError(outcome->Escaped);
            // After a failure or a stop the user may correct the cipher or the phrase and go again.
            if (outcome->Ended && !outcome->Failed) {
                Edit1->clear();
                close();
            }
        });
}

void TForm1::Button2Click()
{
    auto deleted = std::make_shared<bool>(false);
    StartJob(
        [deleted, path = m_sourcePath](TJobWorker::TServices& services) {
            *deleted = WipeFile(nullptr, path, services.Ask, nullptr, &services.Progress, &services.Stop);
            if (*deleted)
                services.Ask.AskUser(TMsgDlgType::mtInformation, "File deleted", mbOK);
            else
                services.Ask.AskUser(TMsgDlgType::mtWarning, "File NOT deleted", mbOK);
        },
        [this] { close(); });
}

void TForm1::StartJob(TJobWorker::TWork work, std::function<void()> afterJob)
{
    m_afterJob = std::move(afterJob);
    m_worker = std::make_unique<TJobWorker>(*m_windowThread, m_ask, m_handOff);
    LockControlsForJob(true);
    m_progress->Start([this] { return m_worker ? m_worker->Progress() : TProgressState{}; });
    m_worker->Start(std::move(work), [this] { RunGuarded([this] { JobEnded(); }); });
}

void TForm1::JobEnded()
{
    // The stop question is still open: its answer comes first.
    m_worker.reset();
    m_progress->Stop();
    LockControlsForJob(false);
    m_lastHint.clear();
    ApplicationIdle();
    if (auto after = std::exchange(m_afterJob, {}))
        after();
    if (m_closeAfterJob && isVisible())
        close();
}

void TForm1::LockControlsForJob(bool locked)
{
    if (locked) {
        m_lockedForJob.clear();
        for (QWidget* w :
             std::initializer_list<QWidget*>{Edit1, GroupBox1, ciphers, Button2, Button3, Button4, folders}) {
            m_lockedForJob.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
        Button1->setText("Stop");
        Button1->setFocus();
        return;
    }
    for (const auto& [w, wasEnabled] : m_lockedForJob)
        w->setEnabled(wasEnabled);
    m_lockedForJob.clear();
    Button1->setEnabled(true);
    Button1->setText(m_decrypt ? "&Decrypt" : "&Encrypt");
    Edit1->setFocus();
}

void TForm1::AskToStopAndClose()
{
    if (m_askingToStop)
        return;
    m_askingToStop = true;
    // The job's own boxes, and its end, wait until this is answered.
    m_windowThread->Hold();
    const TMsgDlgBtn answer = m_ask.AskUserWithDefault(TMsgDlgType::mtConfirmation, kStopQuestion, mbYes | mbNo, mbNo);
    m_askingToStop = false;
    if (answer == mbYes) {
        m_closeAfterJob = true;
        if (m_worker)
            m_worker->RequestStop();
    }
    m_windowThread->Release();
}

void TForm1::ciphersClick()
{
    const std::string path = m_files.SettingsPath();
    if (!profile::WritePrivateProfileString("Options", "Cipher", std::to_string(CipherIndex()), path))
        throw Exception("Unable to write to " + path);
}

void TForm1::emailboxClick()
{
    delmailbox->setEnabled(emailbox->isChecked());
}

void TForm1::delmailboxClick()
{
    copybox->setEnabled(!delmailbox->isChecked());
}

void TForm1::Button4Click()
{
    m_destinationFolder.clear();
    if (PickFolder("Select a folder", "", m_destinationFolder)) {
        int at = 0;
        while (at < folders->count() &&
               !FolderSortsBefore(m_destinationFolder, folders->itemData(at, kFolderBytes).toByteArray().toStdString()))
            ++at;
        folders->insertItem(at, Display(m_destinationFolder), QByteArray::fromStdString(m_destinationFolder));
    }
    int match = -1;
    for (int i = 0; i < folders->count() && match < 0; ++i) {
        const std::string item = folders->itemData(i, kFolderBytes).toByteArray().toStdString();
        if (!FolderSortsBefore(item, m_destinationFolder) && !FolderSortsBefore(m_destinationFolder, item))
            match = i;
    }
    folders->setCurrentIndex(match);
    // The label shows where the output will go: the picked folder, or after a cancelled pick the source's.
    ShowDestination();
}

void TForm1::ShowDestination()
{
    const bool elsewhere = !m_destinationFolder.empty();
    Label3->setText(
        Display(Shortened(elsewhere ? m_destinationFolder : path::ExtractFilePath(m_sourcePath), kFolderWidth)));
    Button3->setEnabled(elsewhere);
}

void TForm1::foldersSelect(int index)
{
    m_destinationFolder = folders->itemData(index, kFolderBytes).toByteArray().toStdString();
    ShowDestination();
}

void TForm1::foldersKeyDown(int key)
{
    if (key != Qt::Key_Delete || folders->currentIndex() < 0)
        return;
    folders->removeItem(folders->currentIndex());
    // As in a native list, the removed item's selection goes with it.
    folders->setCurrentIndex(-1);
}

// Wider while open, to show long folders, but inside the window.
void TForm1::foldersDropDown()
{
    folders->resize(width() - 2 * folders->x(), folders->height());
}

void TForm1::foldersCloseUp()
{
    folders->resize(kFoldersWidth, folders->height());
}

void TForm1::Label3DblClick()
{
    m_destinationFolder = path::ExtractFilePath(m_sourcePath);
    Label3->setText(Display(Shortened(m_destinationFolder, kFolderWidth)));
}

void TForm1::Button3Click()
{
    m_destinationFolder.clear();
    ShowDestination();
}

void TForm1::FormCloseQuery()
{
    std::vector<std::string> lines;
    for (int i = 0; i < folders->count(); ++i)
        lines.push_back(folders->itemData(i, kFolderBytes).toByteArray().toStdString());
    WriteFolderList(m_folderListPath, lines);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_worker) {
        event->ignore();
        // The window closes once the stopped job has ended.
        RunGuarded([this] { AskToStopAndClose(); });
        return;
    }
    // A list that cannot be saved is reported, but never keeps the window open.
    RunGuarded([this] { FormCloseQuery(); });
    event->accept();
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm1::showEvent(QShowEvent* event)
{
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label3 && event->type() == QEvent::MouseButtonDblClick)
        RunGuarded([this] { Label3DblClick(); });
    else if (watched == folders && event->type() == QEvent::KeyPress)
        RunGuarded([this, key = static_cast<QKeyEvent*>(event)->key()] { foldersKeyDown(key); });
    return QWidget::eventFilter(watched, event);
}

} // namespace lw
