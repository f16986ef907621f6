#include "app/qt/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace {

TEST(ErrorBox, AddsAFullStopAfterCharactersThatSortAfterIt)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Unable to write to /x/lockwell.ini", "Unable to write to /x/lockwell.ini."},
        {"Done.", "Done."},
        {"Really!", "Really!"},
        {"(x)", "(x)"},
        {"a-", "a-"},
        {"a,", "a,"},
        {"a/", "a/."},
        {"a0", "a0."},
        {"", ""},
        {"caf\xc3\xa9", "caf\xc3\xa9."}, // bytes above 127 sort after "."
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::WithFullStop(c.in), c.out) << c.in;
}

struct Capture {
    Capture()
    {
        lw::SetErrorBoxHookForTesting(
            [this](const std::string& title, const std::string& text) { shown.push_back(title + "|" + text); });
    }
    ~Capture() { lw::SetErrorBoxHookForTesting({}); }
    std::vector<std::string> shown;
};

TEST(ErrorBox, GuardedHandlersReportFailuresInsteadOfThrowing)
{
    Capture capture;
    QPushButton button;
    int runs = 0;
    lw::ConnectGuarded(&button, &QPushButton::clicked, &button, [&] {
        ++runs;
        throw lw::Exception("Unable to write to /x.ini");
    });
    lw::ConnectGuarded(&button, &QPushButton::toggled, &button, [&](bool on) {
        if (on)
            throw std::runtime_error("toggled on");
    });
    button.setCheckable(true);
    button.click();
    button.click();
    EXPECT_EQ(runs, 2);
    // A checkable button reports the toggle before the click.
    EXPECT_EQ(capture.shown, (std::vector<std::string>{"Lockwell|toggled on.", "Lockwell|Unable to write to /x.ini.",
                                                       "Lockwell|Unable to write to /x.ini."}));
    lw::ShowFatalError("boom");
    EXPECT_EQ(capture.shown.back(), "Application Error|boom.");
}

TEST(ErrorBox, ShowsOneOkBoxTitledLockwell)
{
    QString title, text;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    lw::ShowApplicationError("Cannot open file \"/x\". No such file or directory");
    EXPECT_EQ(title, "Lockwell");
    EXPECT_EQ(text, "Cannot open file \"/x\". No such file or directory.");
    EXPECT_EQ(buttons, 1);
}

} // namespace
