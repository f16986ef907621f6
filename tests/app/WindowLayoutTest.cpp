// The window as drawn: mode set-up, controls, tab order, captions that fit, status-line hints.
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <QEnterEvent>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

#include "WindowFixture.h"

namespace {

TEST(WindowLayout, ModeFromTheExtension)
{
    const struct {
        const char* name;
        bool decrypt;
    } cases[] = {
        {"report.FEZ", true}, {"archive.fe2", true}, {"x.fe", true},   {"notes.feather", true},
        {"x.f2e", false},     {"readme", false},     {"name.", false}, {"data.fez/file", false},
    };
    for (const auto& c : cases) {
        lwtest::WindowFixture window;
        window.Open(window.dir / c.name);
        EXPECT_EQ(window.Find<QPushButton>("Button1")->text(), c.decrypt ? "&Decrypt" : "&Encrypt") << c.name;
        EXPECT_EQ(window.Find<QCheckBox>("runbox")->isEnabled(), c.decrypt) << c.name;
        EXPECT_EQ(window.Find<QCheckBox>("compbox")->isEnabled(), !c.decrypt) << c.name;
    }
}

TEST(WindowLayout, TheWindowItself)
{
    lwtest::WindowFixture window;
    auto& form = window.Open("/tmp/a.txt");
    EXPECT_EQ(form.windowTitle(), "Lockwell");
    EXPECT_EQ(form.size(), QSize(325, 383));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "no resizing";
    const auto flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(QFontInfo(form.font()).family(), "Liberation Sans") << "the face must be installed";
    EXPECT_FALSE(form.windowIcon().isNull());
    form.show();
    const QRect screen = form.screen()->availableGeometry();
    const QPoint off = form.geometry().center() - screen.center();
    EXPECT_LE(std::abs(off.x()), 8) << "centred on first show";
    EXPECT_LE(std::abs(off.y()), 8) << "centred on first show";
}

TEST(WindowLayout, EveryControlInPlace)
{
    const struct {
        const char* name;
        QRect geometry;
        const char* caption;
        const char* hint;
        bool enabled;
    } controls[] = {
        {"Edit1", {8, 27, 233, 21}, "", "Use a phrase of up to 32 characters", true},
        {"Button1", {248, 25, 65, 25}, "Encrypt", "", true},
        {"Label3", {9, 61, 232, 13}, "/tmp/", "Folder for destination file", true},
        {"Button3", {248, 56, 65, 25}, "Original", "Set destination to source folder", false},
        {"folders", {8, 88, 233, 21}, "", "Saved destination folders", true},
        {"Button4", {248, 86, 65, 25}, "Destination", "Select new destination folder", true},
        {"GroupBox1", {8, 125, 177, 186}, "Options", "File options", true},
        {"ciphers", {198, 124, 115, 137}, "Cipher to use", "", true},
        {"Button2", {200, 274, 113, 25}, "Delete selected file", "Securely delete selected file", true},
        {"label2", {8, 341, 300, 13}, "/tmp/a.txt", "Selected source file", true},
        {"Panel1", {0, 365, 325, 18}, "", "", true},
        {"compbox", {11, 20, 97, 17}, "Compress file", "", true},
        {"emailbox", {11, 46, 129, 17}, "Send to EMail client", "", true},
        {"delmailbox", {32, 72, 137, 17}, "Delete file after emailing", "", false},
        {"runbox", {11, 98, 113, 16}, "Run decrypted file", "", false},
        {"shredbox", {11, 124, 150, 17}, "Delete source file", "", true},
        {"copybox", {11, 151, 133, 17}, "Copy file to clipboard", "", true},
    };
    lwtest::WindowFixture window;
    window.Open("/tmp/a.txt");
    for (const auto& c : controls) {
        auto* w = window.Find<QWidget>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        EXPECT_EQ(w->statusTip(), c.hint) << c.name;
        EXPECT_TRUE(w->toolTip().isEmpty()) << c.name << ": hints never pop up";
        EXPECT_EQ(w->isEnabled(), c.enabled) << c.name;
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            caption = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            caption = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            caption = g->title();
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            caption = e->text();
        // The "&" marks the access key: underlined, not shown.
        EXPECT_EQ(caption.remove('&'), c.caption) << c.name;
        if (w->parentWidget() != window.form.get()) {
            EXPECT_EQ(w->parentWidget()->objectName(), "GroupBox1") << c.name;
        }
    }
    // Labels without a fixed size fit their text.
    for (const char* name : {"Label1", "Label4"}) {
        auto* label = window.Find<QLabel>(name);
        EXPECT_EQ(label->sizeHint(), label->size()) << name;
    }
    auto* edit = window.Find<QLineEdit>("Edit1");
    edit->setText(QString(40000, 'k'));
    EXPECT_EQ(edit->text().size(), 40000) << "the key field has no length limit";
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal) << "shown as typed";
    EXPECT_EQ(window.Find<QLabel>("Label1")->pos(), QPoint(8, 8));
    EXPECT_EQ(window.Find<QLabel>("Label1")->text(), "Enter your &key phrase");
    EXPECT_EQ(window.Find<QLabel>("Label1")->buddy(), edit) << "its access key goes to the key field";
    EXPECT_EQ(window.Find<QLabel>("Label4")->pos(), QPoint(8, 320));
    EXPECT_EQ(window.Find<QLabel>("Label4")->text(), "Selected source file:");

    QStringList items;
    for (auto* item : window.Find<QGroupBox>("ciphers")->findChildren<QRadioButton*>())
        items << item->text().remove('&');
    EXPECT_EQ(items, QStringList({"RC4", "Blowfish", "Serpent", "Rijndael "}));
    for (const char* name : {"compbox", "emailbox", "delmailbox", "runbox", "shredbox", "copybox"})
        EXPECT_FALSE(window.Find<QCheckBox>(name)->isChecked()) << name;
    EXPECT_EQ(window.Find<QLabel>("Label1")->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(window.Find<QCheckBox>("shredbox")->palette().color(QPalette::WindowText), QColor(Qt::black));
    const QColor caption = window.form->palette().color(QPalette::Highlight);
    for (const char* name : {"Label3", "label2", "Panel1"})
        EXPECT_EQ(window.Find<QLabel>(name)->palette().color(QPalette::WindowText), caption) << name;
}

TEST(WindowLayout, TabOrder)
{
    lwtest::WindowFixture window;
    window.Open("/tmp/a.fe2");
    QStringList order;
    QWidget* first = window.Find<QLineEdit>("Edit1");
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != first && order.size() < 40);
    EXPECT_EQ(order,
              QStringList({"Edit1", "Button1", "RC4", "Blowfish", "Serpent", "Rijndael", "Button2", "shredbox",
                           "runbox", "emailbox", "compbox", "delmailbox", "copybox", "folders", "Button4", "Button3"}));
}

// Alt and one letter reach each captioned control but those that destroy a file (a slip of
// the fingers must not reach them); no two share a letter.
TEST(WindowLayout, AccessKeysAreUnique)
{
    for (const char* source : {"/tmp/a.txt", "/tmp/a.fe2"}) {
        lwtest::WindowFixture window;
        auto& form = window.Open(source);
        QStringList captions;
        for (auto* b : form.findChildren<QAbstractButton*>()) {
            captions << b->text();
            if (QStringList{"Button2", "shredbox", "delmailbox"}.contains(b->objectName())) {
                EXPECT_FALSE(b->text().contains('&')) << source << ": " << b->text().toStdString();
            }
        }
        for (auto* l : form.findChildren<QLabel*>())
            if (l->buddy())
                captions << l->text();
        std::map<QChar, QString> seen;
        int withKey = 0;
        for (const QString& caption : captions) {
            const auto at = caption.indexOf('&');
            if (at < 0 || at + 1 >= caption.size())
                continue;
            ++withKey;
            const QChar key = caption[at + 1].toLower();
            EXPECT_TRUE(seen.emplace(key, caption).second)
                << source << ": " << caption.toStdString() << " and " << seen[key].toStdString();
        }
        EXPECT_GE(withKey, 12) << source;
    }
}

TEST(WindowLayout, NoCaptionIsClipped)
{
    lwtest::WindowFixture window;
    auto& form = window.Open("/tmp/a.txt");
    for (auto* box : form.findChildren<QAbstractButton*>()) {
        const QString text = QString(box->text()).remove('&');
        const int textWidth = box->fontMetrics().horizontalAdvance(text);
        int room = box->width();
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = text;
        auto element = QStyle::SE_PushButtonContents;
        if (qobject_cast<QRadioButton*>(box))
            element = QStyle::SE_RadioButtonContents;
        else if (qobject_cast<QCheckBox*>(box))
            element = QStyle::SE_CheckBoxContents;
        room = box->style()->subElementRect(element, &option, box).width();
        EXPECT_LE(textWidth, room) << box->objectName().toStdString() << " \"" << text.toStdString() << '"';
        EXPECT_LE(box->fontMetrics().height(), box->height()) << box->objectName().toStdString();
    }
    for (auto* group : form.findChildren<QGroupBox*>())
        EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()) + 20, group->width());
}

TEST(WindowLayout, StatusLineShowsTheHintUnderTheMouse)
{
    const struct {
        const char* control;
        const char* text;
    } cases[] = {
        {"Edit1", "Use a phrase of up to 32 characters"},
        {"compbox", "File options"},
        {"copybox", "File options"},
        {"GroupBox1", "File options"},
        {"label2", "Selected source file"},
        {"Label3", "Folder for destination file"},
        {"Button2", "Securely delete selected file"},
        {"folders", "Saved destination folders"},
        {"Button1", ""},
        {"Blowfish", ""},
        {"ciphers", ""},
        {"Label1", ""},
        {"Label4", ""},
        {"Button4", "Select new destination folder"},
    };
    lwtest::WindowFixture window;
    auto& form = window.Open("/tmp/a.txt");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* panel = window.Find<QLabel>("Panel1");
    for (const auto& c : cases) {
        auto* w = window.Find<QWidget>(c.control);
        QCursor::setPos(w->mapToGlobal(QPoint(2, w->height() / 2)));
        ASSERT_EQ(QApplication::widgetAt(QCursor::pos()) != nullptr, true) << c.control;
        // The status line changes only once the application falls idle, waiting for events.
        QEventLoop idle;
        QTimer::singleShot(20, &idle, &QEventLoop::quit);
        idle.exec();
        EXPECT_EQ(panel->text().toStdString(), c.text) << c.control;
    }
}

// Idles the event loop long enough for the status line to follow the pointer.
void SettleStatusLine()
{
    QEventLoop idle;
    QTimer::singleShot(20, &idle, &QEventLoop::quit);
    idle.exec();
}

TEST(WindowLayout, StatusLineClearsWhenThePointerLeavesTheWindow)
{
    // Moved: the pointer crosses the screen and QCursor::pos() follows it. Told: only leave and
    // enter events reach the window while QCursor::pos() stays on the last place inside it, as
    // on Wayland for a window that has lost the pointer.
    enum class How { Moved, Told };
    const struct {
        const char* name;
        How how;
    } cases[] = {{"moved off", How::Moved}, {"told it left", How::Told}};
    for (const auto& c : cases) {
        lwtest::WindowFixture window;
        auto& form = window.Open("/tmp/a.txt");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        auto* panel = window.Find<QLabel>("Panel1");
        auto* edit = window.Find<QWidget>("Edit1");
        const QPoint inside = edit->mapToGlobal(QPoint(2, edit->height() / 2));
        QCursor::setPos(inside);
        SettleStatusLine();
        ASSERT_EQ(panel->text().toStdString(), "Use a phrase of up to 32 characters") << c.name;

        if (c.how == How::Moved) {
            QCursor::setPos(form.frameGeometry().bottomRight() + QPoint(40, 40));
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(form.windowHandle(), &leave);
            ASSERT_EQ(QCursor::pos(), inside) << c.name;
        }
        SettleStatusLine();
        EXPECT_EQ(panel->text().toStdString(), "") << c.name << ": the pointer is outside the window";

        if (c.how == How::Moved) {
            QCursor::setPos(inside);
        } else {
            const QPointF local = form.mapFromGlobal(inside);
            QEnterEvent enter(local, local, inside);
            QCoreApplication::sendEvent(form.windowHandle(), &enter);
        }
        SettleStatusLine();
        EXPECT_EQ(panel->text().toStdString(), "Use a phrase of up to 32 characters") << c.name << ": back inside";
    }
}

} // namespace
