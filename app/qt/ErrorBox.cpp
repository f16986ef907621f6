#include "app/qt/ErrorBox.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

namespace lw {

QIcon ProgramIcon()
{
    QIcon icon;
    for (const char* size : {"32", "48", "256"})
        icon.addFile(QString(":/icons/lockwell-%1.png").arg(size));
    return icon;
}
namespace {

TErrorBoxHook& Hook()
{
    static TErrorBoxHook hook;
    return hook;
}

void Show(const char* title, const std::string& text) noexcept
{
    try {
        const std::string message = WithFullStop(text);
        if (Hook()) {
            Hook()(title, message);
            return;
        }
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(title), QString::fromStdString(message),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.exec();
    } catch (...) {
        // Nothing is left to report with.
    }
}

} // namespace

std::string WithFullStop(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

void ShowApplicationError(const std::string& text) noexcept
{
    Show("Lockwell", text);
}

void ShowFatalError(const std::string& text) noexcept
{
    Show("Application Error", text);
}

void SetErrorBoxHookForTesting(TErrorBoxHook hook)
{
    Hook() = std::move(hook);
}

} // namespace lw
