#include "app/MessageDialog.h"

#include "app/ErrorBox.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace lw {
namespace {

struct TButtonInfo {
    TMsgDlgBtn button;
    const char* caption;
    const char* name;
};

constexpr TButtonInfo kButtons[] = {
    {mbYes, "&Yes", "Yes"},          {mbNo, "&No", "No"}, {mbOK, "OK", "OK"}, {mbCancel, "Cancel", "Cancel"},
    {mbIgnore, "&Ignore", "Ignore"},
};

const char* Title(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning: return "Warning";
    case TMsgDlgType::mtError: return "Error";
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtConfirmation: return "Confirm";
    }
    return "";
}

QStyle::StandardPixmap Icon(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning: return QStyle::SP_MessageBoxWarning;
    case TMsgDlgType::mtError: return QStyle::SP_MessageBoxCritical;
    case TMsgDlgType::mtInformation: return QStyle::SP_MessageBoxInformation;
    case TMsgDlgType::mtConfirmation: return QStyle::SP_MessageBoxQuestion;
    }
    return QStyle::SP_MessageBoxInformation;
}

QString MnemonicOf(const QString& caption)
{
    const auto at = caption.indexOf('&');
    return at >= 0 && at + 1 < caption.size() ? caption.mid(at + 1, 1).toLower() : QString();
}

// QDialog sends Escape and the close box both to reject(); here they answer differently.
class TBox final : public QDialog {
public:
    TBox(QWidget* owner, int escapeAnswer) : QDialog(owner), m_escapeAnswer(escapeAnswer) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            if (m_escapeAnswer != 0)
                done(m_escapeAnswer);
            return;
        }
        // As in the desktop's own boxes, a button's underlined letter answers, with Alt or without.
        if ((event->modifiers() & ~(Qt::ShiftModifier | Qt::AltModifier)) == Qt::NoModifier &&
            event->text().size() == 1)
            for (auto* button : findChildren<QPushButton*>())
                if (MnemonicOf(button->text()) == event->text().toLower()) {
                    button->click();
                    return;
                }
        QDialog::keyPressEvent(event);
    }
    void reject() override { done(mbCancel); }

private:
    int m_escapeAnswer;
};

int EscapeAnswer(TMsgDlgButtons buttons)
{
    for (TMsgDlgBtn b : {mbCancel, mbNo, mbOK})
        if (buttons & b)
            return b;
    return 0;
}

} // namespace

TMsgDlgBtn TMessageDialog::AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons)
{
    return Show(kind, text, buttons, buttons & mbOK ? mbOK : mbYes);
}

TMsgDlgBtn TMessageDialog::AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                              TMsgDlgBtn defaultButton)
{
    return Show(kind, text, buttons, buttons & defaultButton ? defaultButton : buttons & mbOK ? mbOK : mbYes);
}

TMsgDlgBtn TMessageDialog::AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                             TMsgDlgButtons buttons)
{
    return Show(kind, text, buttons, buttons & mbOK ? mbOK : mbYes, detail);
}

TMsgDlgBtn TMessageDialog::Show(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                TMsgDlgBtn defaultAnswer, const std::string& detail)
{
    TBox box(m_owner, EscapeAnswer(buttons));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (m_owner && (m_owner->windowFlags() & Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    box.setWindowFlags(flags);
    box.setWindowTitle(QString::fromLatin1(Title(kind)));

    auto* icon = new QLabel(&box);
    icon->setObjectName("Image");
    const int extent = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    icon->setPixmap(box.style()->standardIcon(Icon(kind), nullptr, &box).pixmap(extent, extent));
    icon->setAlignment(Qt::AlignTop);

    QString message = QString::fromStdString(text);
    message.replace("\r\n", "\n");
    auto* label = new QLabel(message, &box);
    label->setObjectName("Message");
    label->setTextFormat(Qt::PlainText);

    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* defaultButton = nullptr;
    for (const auto& info : kButtons) {
        if (!(buttons & info.button))
            continue;
        auto* button = new QPushButton(QString::fromLatin1(info.caption), &box);
        button->setObjectName(info.name);
        QObject::connect(button, &QPushButton::clicked, &box, [&box, answer = info.button] { box.done(answer); });
        row->addWidget(button);
        if (info.button == defaultAnswer)
            defaultButton = button;
    }
    row->addStretch();

    auto* words = new QVBoxLayout;
    words->addWidget(label);
    if (!detail.empty()) {
        auto* reason = new QLabel(QString::fromStdString(WithFullStop(detail)), &box);
        reason->setObjectName("Detail");
        reason->setTextFormat(Qt::PlainText);
        reason->setWordWrap(true);
        reason->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // Long paths wrap inside a box of sensible width.
        reason->setMinimumWidth(360);
        reason->setMaximumWidth(520);
        words->addWidget(reason);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(words, 1);
    auto* layout = new QVBoxLayout(&box);
    layout->addLayout(top);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (defaultButton) {
        defaultButton->setDefault(true);
        defaultButton->setFocus();
    }
    if (m_driver)
        QTimer::singleShot(0, &box, [this, &box] { m_driver(box); });
    return static_cast<TMsgDlgBtn>(box.exec());
}

} // namespace lw
