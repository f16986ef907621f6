#include "app/qt/MessageDialog.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using lw::TMsgDlgBtn;
using lw::TMsgDlgType;

enum class Act { Enter, Escape, Close };

void Press(QDialog& box, Qt::Key key)
{
    QWidget* target = box.focusWidget() ? box.focusWidget() : &box;
    QTest::keyClick(target, key);
}

TEST(MessageDialog, EnterEscapeAndCloseAnswerAsDesigned)
{
    const struct {
        lw::TMsgDlgButtons buttons;
        Act act;
        TMsgDlgBtn answer;
    } cases[] = {
        {lw::mbOK, Act::Enter, lw::mbOK},
        {lw::mbOK, Act::Escape, lw::mbOK},
        {lw::mbOK, Act::Close, lw::mbCancel},
        {lw::mbOK | lw::mbCancel, Act::Enter, lw::mbOK},
        {lw::mbOK | lw::mbCancel, Act::Escape, lw::mbCancel},
        {lw::mbOK | lw::mbCancel, Act::Close, lw::mbCancel},
        {lw::mbYes | lw::mbNo | lw::mbIgnore, Act::Enter, lw::mbYes},
        {lw::mbYes | lw::mbNo | lw::mbIgnore, Act::Escape, lw::mbNo},
        {lw::mbYes | lw::mbNo | lw::mbIgnore, Act::Close, lw::mbCancel},
        {lw::mbYes | lw::mbNo, Act::Enter, lw::mbYes},
        {lw::mbYes | lw::mbNo, Act::Escape, lw::mbNo},
        {lw::mbYes | lw::mbNo, Act::Close, lw::mbCancel},
    };
    for (const auto& c : cases) {
        lw::TMessageDialog dialog;
        dialog.SetDriverForTesting([&](QDialog& box) {
            switch (c.act) {
            case Act::Enter: Press(box, Qt::Key_Return); break;
            case Act::Escape: Press(box, Qt::Key_Escape); break;
            case Act::Close: box.close(); break;
            }
        });
        EXPECT_EQ(dialog.AskUser(TMsgDlgType::mtConfirmation, "Question", c.buttons), c.answer)
            << "buttons " << int(c.buttons) << ", act " << int(c.act);
    }
}

// A button's underlined letter answers without Alt; other letters do nothing.
TEST(MessageDialog, UnderlinedLettersAnswer)
{
    const lw::TMsgDlgButtons all = lw::mbYes | lw::mbNo | lw::mbIgnore;
    const struct {
        lw::TMsgDlgButtons buttons;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        TMsgDlgBtn answer; // mbCancel: still open, closed by the test
    } cases[] = {
        {all, Qt::Key_Y, Qt::NoModifier, lw::mbYes},
        {all, Qt::Key_N, Qt::NoModifier, lw::mbNo},
        {all, Qt::Key_I, Qt::NoModifier, lw::mbIgnore},
        {all, Qt::Key_Y, Qt::ShiftModifier, lw::mbYes},
        {all, Qt::Key_Y, Qt::AltModifier, lw::mbYes},
        {all, Qt::Key_Q, Qt::NoModifier, lw::mbCancel},
        {lw::mbYes | lw::mbNo, Qt::Key_I, Qt::NoModifier, lw::mbCancel},
        {all, Qt::Key_Y, Qt::ControlModifier, lw::mbCancel},
    };
    for (const auto& c : cases) {
        lw::TMessageDialog dialog;
        dialog.SetDriverForTesting([&](QDialog& box) {
            QTest::keyClick(box.focusWidget() ? box.focusWidget() : &box, c.key, c.modifiers);
            if (box.isVisible())
                box.close();
        });
        EXPECT_EQ(dialog.AskUserWithDefault(TMsgDlgType::mtConfirmation, "Question", c.buttons, lw::mbNo), c.answer)
            << "key " << c.key << ", modifiers " << int(c.modifiers);
    }
}

// The reason behind a failure shows below the box's own text, which stays as it is.
TEST(MessageDialog, DetailShowsBelowTheText)
{
    const std::string reason = "No space left on device while writing /home/ann/out/report.odt.fe2";
    for (const bool withDetail : {false, true}) {
        lw::TMessageDialog dialog;
        QString message, detail;
        bool hasDetail = false;
        dialog.SetDriverForTesting([&](QDialog& box) {
            message = box.findChild<QLabel*>("Message")->text();
            if (auto* label = box.findChild<QLabel*>("Detail")) {
                hasDetail = true;
                detail = label->text();
                EXPECT_GT(label->geometry().top(), box.findChild<QLabel*>("Message")->geometry().top());
            }
            Press(box, Qt::Key_Return);
        });
        const TMsgDlgBtn answer =
            withDetail ? dialog.AskUserWithDetail(TMsgDlgType::mtError, "File IO error", reason, lw::mbOK)
                       : dialog.AskUser(TMsgDlgType::mtError, "File IO error", lw::mbOK);
        EXPECT_EQ(answer, lw::mbOK);
        EXPECT_EQ(message, "File IO error");
        EXPECT_EQ(hasDetail, withDetail);
        if (withDetail) {
            EXPECT_EQ(detail.toStdString(), reason + ".");
        }
    }
}

// A long text wraps at about 60 characters (a name longer than that is not cut), a short
// one keeps its line, and the box is wide enough for its whole title.
TEST(MessageDialog, LongTextsWrapAndTheTitleFits)
{
    const std::string name(90, 'n');
    const struct {
        const char* what;
        std::string text;
        bool wraps;
    } rows[] = {
        {"short", "File encrypted", false},
        {"doubt",
         "The decrypted file does not look like any known kind of file. The key phrase or the cipher may "
         "be wrong. It looks like a file encrypted with Serpent. Keep \"report.odt\"?",
         true},
        {"long name", "Wipe \"" + name + "\" anyway?", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        lw::TMessageDialog dialog;
        dialog.SetDriverForTesting([&](QDialog& box) {
            const QLabel* label = box.findChild<QLabel*>("Message");
            const QFontMetrics metrics(label->font());
            EXPECT_EQ(label->heightForWidth(label->width()) > 2 * metrics.height(), row.wraps);
            EXPECT_LE(label->width(), std::max(61 * metrics.averageCharWidth(),
                                               metrics.horizontalAdvance(QString::fromStdString("\"" + name + "\""))));
            EXPECT_GE(box.width(), metrics.horizontalAdvance(box.windowTitle()) + 100);
            EXPECT_TRUE(label->text() == QString::fromStdString(row.text)) << "the text itself is not changed";
            Press(box, Qt::Key_Return);
        });
        dialog.AskUser(TMsgDlgType::mtInformation, row.text, lw::mbOK);
    }
}

TEST(MessageDialog, EscapeWithoutCancelNoOrOkDoesNothing)
{
    lw::TMessageDialog dialog;
    bool stillOpen = false;
    dialog.SetDriverForTesting([&](QDialog& box) {
        Press(box, Qt::Key_Escape);
        stillOpen = box.isVisible();
        box.findChild<QPushButton*>("Ignore")->click();
    });
    EXPECT_EQ(dialog.AskUser(TMsgDlgType::mtWarning, "x", lw::mbYes | lw::mbIgnore), lw::mbIgnore);
    EXPECT_TRUE(stillOpen);
}

TEST(MessageDialog, ButtonsTitlesAndText)
{
    const struct {
        TMsgDlgType kind;
        const char* title;
    } kinds[] = {
        {TMsgDlgType::mtWarning, "Warning"},
        {TMsgDlgType::mtError, "Error"},
        {TMsgDlgType::mtInformation, "Information"},
        {TMsgDlgType::mtConfirmation, "Confirm"},
    };
    const struct {
        const char* name;
        const char* caption;
        TMsgDlgBtn button;
    } buttons[] = {
        {"Yes", "&Yes", lw::mbYes},
        {"No", "&No", lw::mbNo},
        {"OK", "OK", lw::mbOK},
        {"Cancel", "Cancel", lw::mbCancel},
        {"Ignore", "&Ignore", lw::mbIgnore},
    };
    const lw::TMsgDlgButtons all = lw::mbYes | lw::mbNo | lw::mbOK | lw::mbCancel | lw::mbIgnore;
    for (const auto& kind : kinds) {
        for (const auto& pick : buttons) {
            lw::TMessageDialog dialog;
            QString title, text;
            QStringList captions;
            bool hasIcon = false;
            Qt::WindowFlags flags;
            dialog.SetDriverForTesting([&](QDialog& box) {
                title = box.windowTitle();
                text = box.findChild<QLabel*>("Message")->text();
                hasIcon = !box.findChild<QLabel*>("Image")->pixmap().isNull();
                flags = box.windowFlags();
                // Left to right as laid out.
                auto found = box.findChildren<QPushButton*>();
                std::sort(found.begin(), found.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
                for (auto* b : found)
                    captions << b->text();
                box.findChild<QPushButton*>(pick.name)->click();
            });
            EXPECT_EQ(dialog.AskUser(kind.kind, "Line one\r\nline two", all), pick.button);
            EXPECT_EQ(title, kind.title);
            EXPECT_EQ(text, "Line one\nline two");
            EXPECT_TRUE(hasIcon);
            EXPECT_EQ(captions, QStringList({"&Yes", "&No", "OK", "Cancel", "&Ignore"}));
            EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
            EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        }
    }
}

TEST(MessageDialog, ShowsOnlyTheAskedButtons)
{
    lw::TMessageDialog dialog;
    QStringList names;
    QString defaultName;
    dialog.SetDriverForTesting([&](QDialog& box) {
        for (auto* b : box.findChildren<QPushButton*>()) {
            names << b->objectName();
            if (b->isDefault())
                defaultName = b->objectName();
        }
        box.findChild<QPushButton*>("Cancel")->click();
    });
    EXPECT_EQ(dialog.AskUser(TMsgDlgType::mtWarning, "Wipe?", lw::mbOK | lw::mbCancel), lw::mbCancel);
    names.sort();
    EXPECT_EQ(names, QStringList({"Cancel", "OK"}));
    EXPECT_EQ(defaultName, "OK");
}

} // namespace

namespace {

TEST(MessageDialog, AChosenDefaultTakesEnterAndTheFocus)
{
    const lw::TMsgDlgButtons yesNo = lw::mbYes | lw::mbNo;
    const struct {
        lw::TMsgDlgButtons buttons;
        TMsgDlgBtn defaultButton;
        Act act;
        TMsgDlgBtn answer;
        const char* focused; // and the only default
    } cases[] = {
        {yesNo, lw::mbNo, Act::Enter, lw::mbNo, "No"},
        {yesNo, lw::mbNo, Act::Escape, lw::mbNo, "No"},
        {yesNo, lw::mbNo, Act::Close, lw::mbCancel, "No"},
        {yesNo, lw::mbYes, Act::Enter, lw::mbYes, "Yes"},
        {yesNo | lw::mbIgnore, lw::mbIgnore, Act::Enter, lw::mbIgnore, "Ignore"},
        {yesNo | lw::mbIgnore, lw::mbIgnore, Act::Escape, lw::mbNo, "Ignore"},
        {lw::mbOK | lw::mbCancel, lw::mbCancel, Act::Enter, lw::mbCancel, "Cancel"},
        // A default that is not among the buttons leaves the usual one.
        {lw::mbOK | lw::mbCancel, lw::mbNo, Act::Enter, lw::mbOK, "OK"},
    };
    for (const auto& c : cases) {
        lw::TMessageDialog dialog;
        QString focused;
        QStringList defaults;
        dialog.SetDriverForTesting([&](QDialog& box) {
            focused = box.focusWidget() ? box.focusWidget()->objectName() : QString();
            for (auto* b : box.findChildren<QPushButton*>())
                if (b->isDefault())
                    defaults << b->objectName();
            switch (c.act) {
            case Act::Enter: Press(box, Qt::Key_Return); break;
            case Act::Escape: Press(box, Qt::Key_Escape); break;
            case Act::Close: box.close(); break;
            }
        });
        EXPECT_EQ(dialog.AskUserWithDefault(TMsgDlgType::mtWarning, "Risky?", c.buttons, c.defaultButton), c.answer)
            << "buttons " << int(c.buttons) << ", default " << int(c.defaultButton) << ", act " << int(c.act);
        EXPECT_EQ(focused, c.focused);
        EXPECT_EQ(defaults, QStringList({c.focused}));
    }
}

} // namespace
