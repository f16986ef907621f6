// The window as drawn: mode set-up, controls, tab order, captions that fit, status-line hints.
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <QEnterEvent>
#include <QEventLoop>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "WindowFixture.h"
#include "app/core/Layout.h"

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
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(256, 256))) << "a large picture for high DPI";
    form.show();
    const QRect screen = form.screen()->availableGeometry();
    const QPoint off = form.geometry().center() - screen.center();
    EXPECT_LE(std::abs(off.x()), 8) << "centred on first show";
    EXPECT_LE(std::abs(off.y()), 8) << "centred on first show";
}

// The Qt face builds from the shared layout table (checked on its own in LayoutTest):
// each row's widget where the row puts it, with its caption and hint.
TEST(WindowLayout, EveryControlInPlace)
{
    // What the window shows for a source file, in place of the table's caption; locked controls.
    const std::map<std::string, QString> shown = {
        {"Button1", "Encrypt"}, {"Label3", "/tmp/"}, {"label2", "/tmp/a.txt"}};
    const std::set<std::string> locked = {"Button3", "delmailbox", "runbox"};
    lwtest::WindowFixture window;
    window.Open("/tmp/a.txt");
    const auto rows = lw::ControlRows();
    for (const auto& row : rows) {
        auto* w = window.Find<QWidget>(row.Name);
        ASSERT_NE(w, nullptr) << row.Name;
        const QRect place(row.Left, row.Top, row.Width, row.Height);
        // The plain labels fit their text (below).
        const bool fits = row.Kind == lw::TControlKind::Label && !row.Control;
        EXPECT_EQ(fits ? QRect(w->pos(), place.size()) : w->geometry(), place) << row.Name;
        EXPECT_EQ(w->statusTip(), row.Hint) << row.Name;
        EXPECT_TRUE(w->toolTip().isEmpty()) << row.Name << ": hints never pop up";
        EXPECT_EQ(w->isEnabled(), !locked.count(row.Name)) << row.Name;
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            caption = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            caption = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            caption = g->title();
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            caption = e->text();
        const auto it = shown.find(row.Name);
        // The "&" marks the access key: underlined, not shown.
        EXPECT_EQ(caption.remove('&'), it != shown.end() ? it->second : QString(row.Caption).remove('&')) << row.Name;
        QWidget* parent = row.Parent < 0 ? window.form.get() : window.Find<QWidget>(rows[row.Parent].Name);
        EXPECT_EQ(w->parentWidget(), parent) << row.Name;
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
    EXPECT_EQ(window.Find<QLabel>("Label1")->text(), "Enter your &key phrase");
    EXPECT_EQ(window.Find<QLabel>("Label1")->buddy(), edit) << "its access key goes to the key field";

    for (const char* name : {"compbox", "emailbox", "delmailbox", "runbox", "shredbox", "copybox"})
        EXPECT_FALSE(window.Find<QCheckBox>(name)->isChecked()) << name;
}

// Light, the paths and the status line take the highlight colour as designed; dark, where
// that blue does not read on the window, the link colour. Every text reads, and an enabled
// box does not look disabled.
TEST(WindowLayout, ColoursReadOnALightAndADarkScheme)
{
    const auto contrast = [](const QColor& a, const QColor& b) {
        const auto lin = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        const auto l = [&](const QColor& c) {
            return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
        };
        return (std::max(l(a), l(b)) + 0.05) / (std::min(l(a), l(b)) + 0.05);
    };
    const QPalette light = QApplication::palette();
    const QPalette dark = lwtest::DarkPalette();
    for (const bool isDark : {false, true}) {
        const QPalette& scheme = isDark ? dark : light;
        QApplication::setPalette(scheme);
        lwtest::WindowFixture window;
        window.Open("/tmp/a.txt");
        const QColor background = scheme.color(QPalette::Window);
        SCOPED_TRACE(isDark ? "dark" : "light");
        for (const char* name : {"Label3", "label2", "Panel1"})
            EXPECT_EQ(window.Find<QLabel>(name)->palette().color(QPalette::WindowText),
                      scheme.color(isDark ? QPalette::Link : QPalette::Highlight))
                << name;
        for (const char* name : {"Label1", "Label4", "Label3", "label2", "Panel1", "shredbox", "compbox"}) {
            const QPalette& own = window.Find<QWidget>(name)->palette();
            EXPECT_GE(contrast(own.color(QPalette::Active, QPalette::WindowText), background), 3.0) << name;
        }
        const QPalette& box = window.Find<QCheckBox>("shredbox")->palette();
        EXPECT_NE(box.color(QPalette::Active, QPalette::WindowText),
                  box.color(QPalette::Disabled, QPalette::WindowText));
    }
    QApplication::setPalette(light);
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
    // The cipher group is one stop: the chosen item (Blowfish unless the settings say otherwise).
    EXPECT_EQ(order, QStringList({"Edit1", "Button1", "Blowfish", "Button2", "shredbox", "runbox", "emailbox",
                                  "compbox", "delmailbox", "copybox", "folders", "Button4", "Button3"}));

    // Tab from the action button lands on the chosen cipher, Space keeps it, the arrows
    // choose another, and the next Tab into the group finds that one.
    window.form->show();
    QApplication::setActiveWindow(window.form.get());
    window.Find<QPushButton>("Button1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.Find<QRadioButton>("Blowfish"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(window.Find<QRadioButton>("Blowfish")->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(window.Find<QRadioButton>("Serpent")->isChecked());
    window.Find<QPushButton>("Button1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.Find<QRadioButton>("Serpent"));
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
