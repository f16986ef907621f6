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

#include "app/core/Layout.h"
#include "app/qt/ErrorBox.h"
#include "app/qt/ProgressPanel.h"
#include "app/qt/Unit1.h"

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

// A row's widget, with the row's name, place, caption and hint.
QWidget* Make(const TControlRow& row, QWidget* parent)
{
    const QString caption = QString::fromLatin1(row.Caption);
    QWidget* widget = nullptr;
    switch (row.Kind) {
    case TControlKind::Label:
    case TControlKind::Panel: {
        // Labels never read their text as markup or mnemonics: paths may hold "<" or "&".
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        widget = label;
        break;
    }
    case TControlKind::Edit: widget = new QLineEdit(parent); break;
    case TControlKind::Button: widget = new QPushButton(caption, parent); break;
    case TControlKind::GroupBox: {
        auto* box = new QGroupBox(caption, parent);
        FrameWithCaptionOnLine(box);
        widget = box;
        break;
    }
    case TControlKind::Radio: widget = new QRadioButton(caption, parent); break;
    case TControlKind::CheckBox: widget = new QCheckBox(caption, parent); break;
    case TControlKind::ComboBox: widget = new TDropDownList(parent); break;
    }
    widget->setObjectName(row.Name);
    // Set on each control: a style sheet above it would otherwise hand it the application's font.
    widget->setFont(parent->font());
    widget->setGeometry(row.Left, row.Top, row.Width, row.Height);
    widget->setStatusTip(QString::fromLatin1(row.Hint));
    return widget;
}

} // namespace

void TForm1::BuildControls()
{
    const auto rgb = [this](QPalette::ColorRole role) {
        const QColor c = palette().color(role);
        return TRgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
    };
    const TRgb candidates[] = {rgb(QPalette::Highlight), rgb(QPalette::Link)};
    const TRgb chosen = ReadableAccent(candidates, rgb(QPalette::Window), rgb(QPalette::WindowText));
    const QColor accent(chosen.R, chosen.G, chosen.B);
    const auto rows = ControlRows();
    m_controls.clear();
    QWidget* lastStop = nullptr;
    for (const TControlRow& row : rows) {
        QWidget* parent = row.Parent < 0 ? this : m_controls.at(static_cast<std::size_t>(row.Parent));
        QWidget* widget = Make(row, parent);
        if (row.Ink == TInk::Accent)
            SetTextColour(widget, accent);
        // Tab order is row order, as on the other face; every cipher item is a stop here.
        if (row.Kind != TControlKind::Label && row.Kind != TControlKind::Panel && row.Kind != TControlKind::GroupBox) {
            if (lastStop)
                setTabOrder(lastStop, widget);
            lastStop = widget;
        }
        m_controls.push_back(widget);
    }
    const auto named = [this]<class W>(W*& member, const char* name) { member = findChild<W*>(name); };
    named(Label1, "Label1");
    named(Label4, "Label4");
    named(Edit1, "Edit1");
    named(Button1, "Button1");
    named(Button2, "Button2");
    named(Button3, "Button3");
    named(Button4, "Button4");
    named(Label3, "Label3");
    named(label2, "label2");
    named(Panel1, "Panel1");
    named(GroupBox1, "GroupBox1");
    named(ciphers, "ciphers");
    named(compbox, "compbox");
    named(emailbox, "emailbox");
    named(delmailbox, "delmailbox");
    named(runbox, "runbox");
    named(shredbox, "shredbox");
    named(copybox, "copybox");
    folders = findChild<QComboBox*>("folders");

    Edit1->setMaxLength(std::numeric_limits<int>::max()); // the hint advises, nothing enforces
    Label1->setBuddy(Edit1);
    Label1->adjustSize(); // with a buddy the "&" is no longer shown
    Label4->adjustSize();
    Button3->setEnabled(false);
    delmailbox->setEnabled(false);
    auto* list = static_cast<TDropDownList*>(folders);
    list->OnDropDown = [this] { foldersDropDown(); };
    list->OnCloseUp = [this] { foldersCloseUp(); };
    folders->setEditable(false);
    cipherItems = new QButtonGroup(ciphers);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Kind == TControlKind::Radio)
            cipherItems->addButton(static_cast<QRadioButton*>(m_controls[i]), cipherItems->buttons().size());
    }
    cipherItems->button(0)->setChecked(true);
    // Tab comes into the cipher group on the chosen item, as in the desktop's own dialogs
    // (where Space would otherwise choose another); the arrows move among the items.
    const auto tabOnChosen = [this] {
        QAbstractButton* stop = cipherItems->checkedButton();
        if (!stop)
            stop = cipherItems->buttons().first();
        for (auto* item : cipherItems->buttons())
            item->setFocusPolicy(item == stop ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (auto* item : cipherItems->buttons())
        connect(item, &QAbstractButton::toggled, this, tabOnChosen);
    tabOnChosen();
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAlignment(Qt::AlignCenter);
    m_progress = new TProgressPanel(Panel1);
    Edit1->setFocus();
}

} // namespace lw
