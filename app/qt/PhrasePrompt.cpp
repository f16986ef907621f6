#include "app/qt/PhrasePrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "crypto/SecureFill.h"

namespace lw {

void ReadPhrase(const QLineEdit& edit, std::string& phrase)
{
    QByteArray utf8 = edit.text().toUtf8();
    WipeString(phrase);
    phrase.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
    SecureFill(utf8.data(), static_cast<size_t>(utf8.size()), 0);
}

bool TPhrasePrompt::AskPhraseAgain(std::string& phrase)
{
    QDialog prompt(m_owner);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (m_owner && (m_owner->windowFlags() & Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    prompt.setWindowFlags(flags);
    prompt.setWindowTitle("Confirm");

    auto* label = new QLabel("Type the key phrase again:", &prompt);
    label->setObjectName("Label");
    auto* field = new QLineEdit(&prompt);
    field->setObjectName("Phrase");
    field->setEchoMode(QLineEdit::Password);
    label->setBuddy(field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &prompt);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("Cancel");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &prompt, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &prompt, &QDialog::reject);

    auto* layout = new QVBoxLayout(&prompt);
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    field->setFocus();

    if (m_driver)
        QTimer::singleShot(0, &prompt, [this, &prompt] { m_driver(prompt); });
    const bool accepted = prompt.exec() == QDialog::Accepted;
    if (accepted)
        ReadPhrase(*field, phrase);
    // The field's own buffer: once the field lets go of it, this copy is its only holder.
    QString typed = field->text();
    field->clear();
    SecureFill(typed.data(), static_cast<size_t>(typed.size()) * sizeof(QChar), 0);
    return accepted;
}

} // namespace lw
