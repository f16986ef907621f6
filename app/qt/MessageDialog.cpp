#include "app/qt/MessageDialog.h"

#include "app/qt/ErrorBox.h"
#include "app/core/BoxRules.h"

#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace lw {
namespace {

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

constexpr int kWrapCharacters = 60;
constexpr int kTitleBarRoom = 120; // the icon, the close box and the frame

QString MnemonicOf(const QString& caption)
{
    const auto at = caption.indexOf('&');
    return at >= 0 && at + 1 < caption.size() ? caption.mid(at + 1, 1).toLower() : QString();
}

// QDialog sends Escape and the close box both to reject(); here they answer differently.
class TBox final : public QDialog {
public:
    TBox(QWidget* owner, std::optional<TMsgDlgBtn> escapeAnswer) : QDialog(owner), m_escapeAnswer(escapeAnswer) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            if (m_escapeAnswer)
                done(*m_escapeAnswer);
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
    std::optional<TMsgDlgBtn> m_escapeAnswer;
};

// A long text wraps at about 60 characters, as a reader takes it in; a shorter one keeps its
// own width. A word longer than that (a file name) is never cut.
void FitToReadingWidth(QLabel& label, const QString& text)
{
    const QFontMetrics metrics(label.font());
    int longestLine = 0, longestWord = 0;
    for (const QString& line : text.split('\n')) {
        longestLine = std::max(longestLine, metrics.horizontalAdvance(line));
        for (const QString& word : line.split(' '))
            longestWord = std::max(longestWord, metrics.horizontalAdvance(word));
    }
    const int readingWidth = kWrapCharacters * metrics.averageCharWidth();
    if (longestLine <= readingWidth)
        return;
    label.setWordWrap(true);
    label.setFixedWidth(std::max(readingWidth, longestWord));
}

} // namespace

TMsgDlgBtn TMessageDialog::AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons)
{
    return Show(kind, text, buttons, mbOK);
}

TMsgDlgBtn TMessageDialog::AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                              TMsgDlgBtn defaultButton)
{
    return Show(kind, text, buttons, defaultButton);
}

TMsgDlgBtn TMessageDialog::AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                             TMsgDlgButtons buttons)
{
    return Show(kind, text, buttons, mbOK, detail);
}

TMsgDlgBtn TMessageDialog::Show(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                TMsgDlgBtn wantedDefault, const std::string& detail)
{
    TBox box(m_owner, BoxEscapeAnswer(buttons));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (m_owner && (m_owner->windowFlags() & Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    box.setWindowFlags(flags);
    box.setWindowTitle(QString::fromLatin1(BoxTitle(kind)));

    auto* icon = new QLabel(&box);
    icon->setObjectName("Image");
    const int extent = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    // Drawn for the screen's scale, not scaled up from a small picture.
    icon->setPixmap(
        box.style()->standardIcon(Icon(kind), nullptr, &box).pixmap(QSize(extent, extent), box.devicePixelRatio()));
    icon->setAlignment(Qt::AlignTop);

    QString message = QString::fromStdString(text);
    message.replace("\r\n", "\n");
    auto* label = new QLabel(message, &box);
    label->setObjectName("Message");
    label->setTextFormat(Qt::PlainText);
    FitToReadingWidth(*label, message);

    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* defaultButton = nullptr;
    const TMsgDlgBtn defaultAnswer = BoxDefault(buttons, wantedDefault);
    for (const TBoxButton& info : BoxButtons(buttons)) {
        const QString caption = QString::fromLatin1(info.Caption);
        auto* button = new QPushButton(caption, &box);
        button->setObjectName(QString(caption).remove('&'));
        QObject::connect(button, &QPushButton::clicked, &box, [&box, answer = info.Button] { box.done(answer); });
        row->addWidget(button);
        if (info.Button == defaultAnswer)
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
    // A strut keeps the box wide enough that the title bar shows the whole title.
    const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    layout->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
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
