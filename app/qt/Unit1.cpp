#include "app/qt/Unit1.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <utility>

#include "app/core/Layout.h"
#include "app/qt/ErrorBox.h"
#include "desktop/linux/FolderPicker.h"
#include "app/qt/ProgressPanel.h"
#include "app/qt/QtWindowThread.h"
#include "platform/Exception.h"

namespace lw {
namespace {

QString Display(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TForm1::TForm1(std::string sourcePath, TSettingsFiles files, IAskUser& ask, IHandOff& handOff, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      m_windowThread(std::make_unique<TQtWindowThread>(this))
{
    setObjectName("Form1");
    setWindowTitle("Lockwell");
    setFixedSize(325, 383);
    QFont face("Liberation Sans");
    face.setPixelSize(11);
    setFont(face);
    setWindowIcon(ProgramIcon());
    BuildControls();
    auto measure = [this](const std::string& text) { return QFontMetrics(font()).horizontalAdvance(Display(text)); };
    m_window = std::make_unique<TMainWindow>(
        TMainWindowServices{*this, *m_windowThread, ask, handOff, m_phrasePrompt, *this, measure},
        std::move(sourcePath), files.SettingsPath(), files.FolderListPath());
    ConnectHandlers();
    m_window->FormCreate();
}

TForm1::~TForm1()
{
    // A job still running is stopped and waited for before anything it may call goes.
    m_window.reset();
    // The controls go after this part of the window: nothing they do then may reach a handler.
    Label3->removeEventFilter(this);
    folders->removeEventFilter(this);
    folders->hidePopup();
}

void TForm1::ConnectHandlers()
{
    TMainWindow& w = *m_window;
    ConnectGuarded(Button1, &QPushButton::clicked, this, [&w] { w.Button1Click(); });
    ConnectGuarded(Edit1, &QLineEdit::returnPressed, this, [&w] { w.Edit1Return(); });
    ConnectGuarded(Button2, &QPushButton::clicked, this, [&w] { w.Button2Click(); });
    ConnectGuarded(Button3, &QPushButton::clicked, this, [&w] { w.Button3Click(); });
    ConnectGuarded(Button4, &QPushButton::clicked, this, [&w] { w.Button4Click(); });
    ConnectGuarded(cipherItems, &QButtonGroup::idToggled, this, [&w](int id, bool checked) {
        if (checked)
            w.ciphersClick(id);
    });
    ConnectGuarded(emailbox, &QCheckBox::toggled, this, [&w](bool) { w.emailboxClick(); });
    ConnectGuarded(delmailbox, &QCheckBox::toggled, this, [&w](bool) { w.delmailboxClick(); });
    ConnectGuarded(folders, &QComboBox::activated, this, [&w](int index) { w.foldersSelect(index); });
    Label3->installEventFilter(this);
    folders->installEventFilter(this);
    // Dropped files are not taken, so the window does not register for them.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        ConnectGuarded(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [&w] { w.ApplicationIdle(); });
}

QWidget* TForm1::Control(TControl control) const
{
    return m_controls.at(static_cast<std::size_t>(RowOf(control)));
}

void TForm1::SetCaption(TControl control, const std::string& text)
{
    QWidget* widget = Control(control);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(Display(text));
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(Display(text));
}

void TForm1::SetEnabled(TControl control, bool enabled)
{
    Control(control)->setEnabled(enabled);
}

void TForm1::SetFocus(TControl control)
{
    Control(control)->setFocus();
}

// Shown only: the selection comes from the shared window, which already knows of it.
void TForm1::SetCipherIndex(int index)
{
    const QSignalBlocker quiet(cipherItems);
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

void TForm1::SetFolderItems(const std::vector<std::string>& items, int selected)
{
    folders->clear();
    for (const auto& item : items)
        folders->addItem(Display(item));
    folders->setCurrentIndex(selected);
}

void TForm1::ShowJobProgress(bool running)
{
    if (running)
        m_progress->Start([this] { return m_window ? m_window->Progress() : TProgressState{}; });
    else
        m_progress->Stop();
}

void TForm1::ShowError(const std::string& text)
{
    ShowApplicationError(text);
}

void TForm1::Close()
{
    close();
}

bool TForm1::Checked(TControl box) const
{
    const auto* button = qobject_cast<const QAbstractButton*>(Control(box));
    return button && button->isChecked();
}

void TForm1::ReadPhrase(std::string& phrase) const
{
    lw::ReadPhrase(*Edit1, phrase);
}

void TForm1::ClearPhrase()
{
    Edit1->clear();
}

std::string TForm1::HintUnderPointer() const
{
    // Enter and leave events say whether the pointer is here: on Wayland QCursor::pos() keeps
    // its last place inside the window after the pointer has left.
    QWidget* under = underMouse() ? QApplication::widgetAt(QCursor::pos()) : nullptr;
    for (QWidget* w = under; w; w = w->parentWidget()) {
        if (!w->statusTip().isEmpty() || w->isWindow())
            return w->statusTip().toStdString();
    }
    return {};
}

bool TForm1::PickFolder(const std::string& caption, const std::string& root, std::string& folder)
{
    return lw::PickFolder(caption, root, folder);
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

void TForm1::closeEvent(QCloseEvent* event)
{
    bool close = true;
    RunGuarded([&] { close = m_window->FormCloseQuery(); });
    if (close)
        event->accept();
    else
        event->ignore();
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
    if (watched == Label3 && event->type() == QEvent::MouseButtonDblClick) {
        RunGuarded([this] { m_window->Label3DblClick(); });
    } else if (watched == folders && event->type() == QEvent::KeyPress) {
        // Keys as the shared window knows them: virtual key codes.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete)
            RunGuarded([this] { m_window->foldersKeyDown(TMainWindow::kVkDelete); });
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace lw
