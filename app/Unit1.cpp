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
#include "app/PathShortener.h"
#include "app/PhraseChecks.h"
#include "crypto/SecureFill.h"
#include "jobs/Jobs.h"
#include "jobs/Wipe.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/FolderList.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"

namespace lw {
namespace {

constexpr int kSourceWidth = 300;
constexpr int kFolderWidth = 232;
constexpr int kFoldersWidth = 233;
constexpr int kFoldersOpenWidth = 350;
constexpr int kFolderBytes = Qt::UserRole; // the folder exactly as stored, for paths that are not UTF-8

// A drop-down list that reports opening and closing, before and after the list shows.
// Qt also calls hidePopup() when the list itself is hidden; only a real close-up is reported.
class TDropDownList final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> OnDropDown;
    std::function<void()> OnCloseUp;

    void showPopup() override
    {
        RunGuarded([this] { OnDropDown(); });
        m_open = true;
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (std::exchange(m_open, false))
            RunGuarded([this] { OnCloseUp(); });
    }

private:
    bool m_open = false;
};

template <class W, class... Args>
W* Place(QWidget* parent, const char* name, QRect geometry, const char* hint, Args&&... args)
{
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    // Set on each control: a style sheet above it would otherwise hand it the application's font.
    widget->setFont(parent->font());
    widget->setGeometry(geometry);
    widget->setStatusTip(QString::fromLatin1(hint));
    return widget;
}

// Labels never read their text as markup or mnemonics: paths may hold "<" or "&".
QLabel* PlaceLabel(QWidget* parent, const char* name, QRect geometry, const char* hint, const char* caption)
{
    auto* label = Place<QLabel>(parent, name, geometry, hint, QString::fromLatin1(caption));
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The caption sits on the frame's top line, so the boxes' own rows start where the layout
// puts them; a narrow gap after each box or circle leaves the whole caption room.
void FrameWithCaptionOnLine(QGroupBox* box)
{
    box->setStyleSheet("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"
                       "QCheckBox, QRadioButton { spacing: 4px; }");
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QString Display(const std::string& text) { return QString::fromStdString(text); }

} // namespace

TForm1::TForm1(std::string sourcePath, TSettingsFiles files, IAskUser& ask, IHandOff& handOff, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      m_sourcePath(std::move(sourcePath)), m_files(std::move(files)), m_ask(ask), m_handOff(handOff)
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
    // The controls go after this part of the window: nothing they do then may reach a handler.
    Label3->removeEventFilter(this);
    folders->removeEventFilter(this);
    folders->hidePopup();
}

void TForm1::BuildControls()
{
    const QColor activeCaption = palette().color(QPalette::Highlight);

    Label1 = PlaceLabel(this, "Label1", {8, 8, 103, 13}, "", "Enter your key phrase");
    Label1->adjustSize();
    SetTextColour(Label1, Qt::black);
    Edit1 = Place<QLineEdit>(this, "Edit1", {8, 27, 233, 21}, "Use a phrase of up to 32 characters");
    Edit1->setMaxLength(std::numeric_limits<int>::max()); // the hint advises, nothing enforces
    Button1 = Place<QPushButton>(this, "Button1", {248, 25, 65, 25}, "", "GO");
    Label3 = PlaceLabel(this, "Label3", {9, 61, 232, 13}, "Folder for destination file", "");
    SetTextColour(Label3, activeCaption);
    Button3 = Place<QPushButton>(this, "Button3", {248, 56, 65, 25}, "Set destination to source folder", "Original");
    Button3->setEnabled(false);
    auto* list = Place<TDropDownList>(this, "folders", {8, 88, kFoldersWidth, 21}, "Saved destination folders");
    list->OnDropDown = [this] { foldersDropDown(); };
    list->OnCloseUp = [this] { foldersCloseUp(); };
    folders = list;
    folders->setEditable(false);
    Button4 = Place<QPushButton>(this, "Button4", {248, 86, 65, 25}, "Select new destination folder", "Destination");

    GroupBox1 = Place<QGroupBox>(this, "GroupBox1", {8, 125, 177, 186}, "File options", "Options");
    FrameWithCaptionOnLine(GroupBox1);
    compbox = Place<QCheckBox>(GroupBox1, "compbox", {11, 20, 97, 17}, "", "Compress file");
    emailbox = Place<QCheckBox>(GroupBox1, "emailbox", {11, 46, 129, 17}, "", "Send to EMail client");
    delmailbox = Place<QCheckBox>(GroupBox1, "delmailbox", {32, 72, 137, 17}, "", "Delete file after emailing");
    delmailbox->setEnabled(false);
    runbox = Place<QCheckBox>(GroupBox1, "runbox", {11, 98, 113, 16}, "", "Run decrypted file");
    shredbox = Place<QCheckBox>(GroupBox1, "shredbox", {11, 124, 150, 17}, "", "Delete source file");
    SetTextColour(shredbox, Qt::black);
    copybox = Place<QCheckBox>(GroupBox1, "copybox", {11, 151, 133, 17}, "", "Copy file to clipboard");

    ciphers = Place<QGroupBox>(this, "ciphers", {198, 124, 115, 137}, "", "Cipher to use");
    FrameWithCaptionOnLine(ciphers);
    cipherItems = new QButtonGroup(ciphers);
    const char* names[] = {"RC4", "Blowfish", "Serpent", "Rijndael"};
    const char* captions[] = {"RC4", "Blowfish", "Serpent", "Rijndael "};
    // One column: the rows share the space below the caption evenly.
    constexpr int top = 16, rowHeight = (137 - top - 4) / 4;
    for (int i = 0; i < 4; ++i) {
        auto* item = Place<QRadioButton>(ciphers, names[i], {8, top + i * rowHeight + (rowHeight - 17) / 2, 99, 17},
                                         "", QString::fromLatin1(captions[i]));
        cipherItems->addButton(item, i);
    }
    cipherItems->button(0)->setChecked(true);

    Button2 = Place<QPushButton>(this, "Button2", {200, 274, 113, 25}, "Securely delete selected file",
                                 "Delete selected file");
    Label4 = PlaceLabel(this, "Label4", {8, 320, 96, 13}, "", "Selected source file:");
    Label4->adjustSize();
    SetTextColour(Label4, Qt::black);
    label2 = PlaceLabel(this, "label2", {8, 341, 300, 13}, "Selected source file", "");
    SetTextColour(label2, activeCaption);
    Panel1 = PlaceLabel(this, "Panel1", {0, 365, 325, 18}, "", "");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAlignment(Qt::AlignCenter);
    SetTextColour(Panel1, activeCaption);

    QWidget* order[] = {Edit1, Button1, cipherItems->button(0), cipherItems->button(1), cipherItems->button(2),
                        cipherItems->button(3), Button2, shredbox, runbox, emailbox, compbox, delmailbox,
                        copybox, folders, Button4, Button3};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    Edit1->setFocus();
}

void TForm1::ConnectHandlers()
{
    ConnectGuarded(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
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
    runbox->setEnabled(decrypt);
    compbox->setEnabled(!decrypt);
    Button1->setText(decrypt ? "Decrypt" : "Encrypt");
}

std::string TForm1::Shortened(const std::string& path, int width) const
{
    const QFontMetrics metrics(font());
    return ShortenPathToWidth(path, [&](const std::string& text) { return metrics.horizontalAdvance(Display(text)); },
                              width);
}

int TForm1::CipherIndex() const { return cipherItems->checkedId(); }

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
    QString hint;
    for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w; w = w->parentWidget()) {
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
    const bool decrypt = Button1->text() == "Decrypt";
    TJobOptions options;
    // The phrase leaves memory when the click is handled, however that ends.
    TScrubOnExit scrub(options.KeyPhrase);
    ReadPhrase(*Edit1, options.KeyPhrase);
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
    if (!checks.MayRun(!decrypt, options.DeleteSource, options.KeyPhrase))
        return;

    // Once a job runs the phrase leaves the window, however the job ends.
    struct TClearOnExit {
        QLineEdit* edit;
        ~TClearOnExit() { edit->clear(); }
    } clear{Edit1};

    TJobContext context{m_ask, m_handOff};
    const bool ended = decrypt ? RunDecryptJob(options, context) : RunEncryptJob(options, context);
    if (ended)
        close();
}

void TForm1::Button2Click()
{
    if (WipeFile(nullptr, m_sourcePath, m_ask))
        m_ask.AskUser(TMsgDlgType::mtInformation, "File deleted", mbOK);
    else
        m_ask.AskUser(TMsgDlgType::mtWarning, "File NOT deleted", mbOK);
    close();
}

void TForm1::ciphersClick()
{
    const std::string path = m_files.SettingsPath();
    if (!profile::WritePrivateProfileString("Options", "Cipher", std::to_string(CipherIndex()), path))
        throw Exception("Unable to write to " + path);
}

void TForm1::emailboxClick() { delmailbox->setEnabled(emailbox->isChecked()); }

void TForm1::delmailboxClick() { copybox->setEnabled(!delmailbox->isChecked()); }

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
}

void TForm1::foldersSelect(int index)
{
    m_destinationFolder = folders->itemData(index, kFolderBytes).toByteArray().toStdString();
    Label3->setText(Display(Shortened(m_destinationFolder, kFolderWidth)));
    Button3->setEnabled(true);
}

void TForm1::foldersKeyDown(int key)
{
    if (key != Qt::Key_Delete || folders->currentIndex() < 0)
        return;
    folders->removeItem(folders->currentIndex());
    // As in a native list, the removed item's selection goes with it.
    folders->setCurrentIndex(-1);
}

void TForm1::foldersDropDown() { folders->resize(kFoldersOpenWidth, folders->height()); }

void TForm1::foldersCloseUp() { folders->resize(kFoldersWidth, folders->height()); }

void TForm1::Label3DblClick()
{
    m_destinationFolder = path::ExtractFilePath(m_sourcePath);
    Label3->setText(Display(Shortened(m_destinationFolder, kFolderWidth)));
}

void TForm1::Button3Click()
{
    m_destinationFolder.clear();
    Label3->setText(Display(Shortened(path::ExtractFilePath(m_sourcePath), kFolderWidth)));
    Button3->setEnabled(false);
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
    // A list that cannot be saved is reported, but never keeps the window open.
    RunGuarded([this] { FormCloseQuery(); });
    event->accept();
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
