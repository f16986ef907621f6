// The window's controls: their places, captions, hints and tab order.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <limits>
#include <utility>

#include "app/ErrorBox.h"
#include "app/ProgressPanel.h"
#include "app/Unit1.h"

namespace lw {
namespace {

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
    box->setStyleSheet(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"
        "QCheckBox, QRadioButton { spacing: 4px; }");
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    // Not for the disabled look: a control locked during a job must read as locked.
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

void TForm1::BuildControls()
{
    const QColor activeCaption = palette().color(QPalette::Highlight);

    Label1 = PlaceLabel(this, "Label1", {8, 8, 103, 13}, "", "Enter your &key phrase");
    Label1->adjustSize();
    SetTextColour(Label1, Qt::black);
    Edit1 = Place<QLineEdit>(this, "Edit1", {8, 27, 233, 21}, "Use a phrase of up to 32 characters");
    Edit1->setMaxLength(std::numeric_limits<int>::max()); // the hint advises, nothing enforces
    Label1->setBuddy(Edit1);
    Label1->adjustSize(); // with a buddy the "&" is no longer shown
    Button1 = Place<QPushButton>(this, "Button1", {248, 25, 65, 25}, "", "GO");
    Label3 = PlaceLabel(this, "Label3", {9, 61, 232, 13}, "Folder for destination file", "");
    SetTextColour(Label3, activeCaption);
    Button3 = Place<QPushButton>(this, "Button3", {248, 56, 65, 25}, "Set destination to source folder", "&Original");
    Button3->setEnabled(false);
    auto* list = Place<TDropDownList>(this, "folders", {8, 88, kFoldersWidth, 21}, "Saved destination folders");
    list->OnDropDown = [this] { foldersDropDown(); };
    list->OnCloseUp = [this] { foldersCloseUp(); };
    folders = list;
    folders->setEditable(false);
    Button4 = Place<QPushButton>(this, "Button4", {248, 86, 65, 25}, "Select new destination folder", "Desti&nation");

    GroupBox1 = Place<QGroupBox>(this, "GroupBox1", {8, 125, 177, 186}, "File options", "Options");
    FrameWithCaptionOnLine(GroupBox1);
    compbox = Place<QCheckBox>(GroupBox1, "compbox", {11, 20, 97, 17}, "", "&Compress file");
    emailbox = Place<QCheckBox>(GroupBox1, "emailbox", {11, 46, 129, 17}, "", "Send to E&Mail client");
    delmailbox = Place<QCheckBox>(GroupBox1, "delmailbox", {32, 72, 137, 17}, "", "Delete file after emailing");
    delmailbox->setEnabled(false);
    runbox = Place<QCheckBox>(GroupBox1, "runbox", {11, 98, 113, 16}, "", "&Run decrypted file");
    shredbox = Place<QCheckBox>(GroupBox1, "shredbox", {11, 124, 150, 17}, "", "Delete source file");
    SetTextColour(shredbox, Qt::black);
    copybox = Place<QCheckBox>(GroupBox1, "copybox", {11, 151, 133, 17}, "", "Co&py file to clipboard");

    ciphers = Place<QGroupBox>(this, "ciphers", {198, 124, 115, 137}, "", "Cipher to use");
    FrameWithCaptionOnLine(ciphers);
    cipherItems = new QButtonGroup(ciphers);
    const char* names[] = {"RC4", "Blowfish", "Serpent", "Rijndael"};
    const char* captions[] = {"RC&4", "&Blowfish", "Serpen&t", "Ri&jndael "};
    // One column: the rows share the space below the caption evenly.
    constexpr int top = 16, rowHeight = (137 - top - 4) / 4;
    for (int i = 0; i < 4; ++i) {
        auto* item = Place<QRadioButton>(ciphers, names[i], {8, top + i * rowHeight + (rowHeight - 17) / 2, 99, 17}, "",
                                         QString::fromLatin1(captions[i]));
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
    m_progress = new TProgressPanel(Panel1);

    QWidget* order[] = {Edit1,
                        Button1,
                        cipherItems->button(0),
                        cipherItems->button(1),
                        cipherItems->button(2),
                        cipherItems->button(3),
                        Button2,
                        shredbox,
                        runbox,
                        emailbox,
                        compbox,
                        delmailbox,
                        copybox,
                        folders,
                        Button4,
                        Button3};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    Edit1->setFocus();
}

} // namespace lw
