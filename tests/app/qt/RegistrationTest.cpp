// The registration question answered on the real dialog, with the entries written to a
// temporary home.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/qt/ErrorBox.h"
#include "app/qt/MessageDialog.h"
#include "app/qt/StartUp.h"
#include "platform/FileSystem.h"
#include "desktop/ShellEntries.h"
#include "desktop/linux/ShellTestEnv.h"

using namespace lwtest;

namespace {

const std::string kMarker = "/applications/lockwell.desktop";

void Click(QDialog& box, const char* name)
{
    auto* button = box.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

void Key(QDialog& box, Qt::Key key)
{
    QTest::keyClick(box.focusWidget() ? box.focusWidget() : &box, key);
}

TEST(Registration, AnswersInstallRemoveOrLeaveTheEntries)
{
    enum class Effect { Installed, Removed, Unchanged };
    const struct {
        const char* act;
        std::function<void(QDialog&)> drive;
        Effect effect;
    } cases[] = {
        {"Yes", [](QDialog& box) { Click(box, "Yes"); }, Effect::Installed},
        {"Enter", [](QDialog& box) { Key(box, Qt::Key_Return); }, Effect::Installed},
        {"No", [](QDialog& box) { Click(box, "No"); }, Effect::Removed},
        {"Escape", [](QDialog& box) { Key(box, Qt::Key_Escape); }, Effect::Removed},
        {"Ignore", [](QDialog& box) { Click(box, "Ignore"); }, Effect::Unchanged},
        {"close box", [](QDialog& box) { box.close(); }, Effect::Unchanged},
    };
    for (const auto& c : cases) {
        for (const bool installedBefore : {false, true}) {
            ShellTestEnv env;
            env.HideTools();
            if (installedBefore)
                lw::InstallShellEntries("/usr/bin/lockwell");
            const Tree before = Snapshot(env.Root());

            lw::TMessageDialog ask;
            QString title, text;
            ask.SetDriverForTesting([&](QDialog& box) {
                title = box.windowTitle();
                c.drive(box);
            });
            EXPECT_EQ(lw::RunRegistration(ask, "/usr/bin/lockwell"), 0) << c.act;
            EXPECT_EQ(title.toStdString(), "Confirm") << c.act;

            const Tree after = Snapshot(env.Root());
            const bool installed = after.count("data" + kMarker) != 0;
            switch (c.effect) {
            case Effect::Installed:
                EXPECT_TRUE(installed) << c.act;
                EXPECT_EQ(FilesIn(after).size(), 18u) << c.act;
                break;
            case Effect::Removed: EXPECT_EQ(FilesIn(after), std::vector<std::string>{}) << c.act; break;
            case Effect::Unchanged: EXPECT_EQ(after, before) << c.act; break;
            }
        }
    }
}

} // namespace

// A file that cannot be written ends the run with the runtime's box and status 1.
TEST(Registration, AFailedInstallEndsWithApplicationErrorAndStatusOne)
{
    ShellTestEnv env;
    env.HideTools();
    std::vector<std::pair<std::string, std::string>> boxes;
    lw::SetErrorBoxHookForTesting(
        [&](const std::string& title, const std::string& text) { boxes.emplace_back(title, text); });
    lw::fs::SetFaultHook([](lw::fs::TFileOp op, void*) { return op == lw::fs::TFileOp::Write ? EIO : 0; }, nullptr);
    lw::TMessageDialog ask;
    ask.SetDriverForTesting([](QDialog& box) { Click(box, "Yes"); });
    const int status = lw::RunRegistration(ask, "/usr/bin/lockwell");
    lw::fs::SetFaultHook(nullptr, nullptr);
    lw::SetErrorBoxHookForTesting({});
    EXPECT_EQ(status, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Application Error");
    EXPECT_EQ(boxes[0].second.rfind("Failed to set data for ''", 0), 0u) << boxes[0].second;
    EXPECT_EQ(Snapshot(env.Root()).count("data" + kMarker), 0u);
}
