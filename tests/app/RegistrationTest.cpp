// The registration question answered on the real dialog, with the entries written to a
// temporary home.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "ShellTestEnv.h"
#include "app/MessageDialog.h"
#include "app/ShellEntries.h"
#include "app/StartUp.h"

using namespace lwtest;

namespace {

const std::string kMarker = "/applications/lockwell.desktop";

// What the program does with the answer of a run without a file.
void Register(lw::IAskUser& ask)
{
    switch (lw::AskRegistration(ask)) {
    case lw::TRegistrationChoice::Install: lw::InstallShellEntries("/usr/bin/lockwell"); break;
    case lw::TRegistrationChoice::Remove: lw::RemoveShellEntries(); break;
    case lw::TRegistrationChoice::Nothing: break;
    }
}

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
            Register(ask);
            EXPECT_EQ(title.toStdString(), "Confirm") << c.act;

            const Tree after = Snapshot(env.Root());
            const bool installed = after.count("data" + kMarker) != 0;
            switch (c.effect) {
            case Effect::Installed:
                EXPECT_TRUE(installed) << c.act;
                EXPECT_EQ(FilesIn(after).size(), 16u) << c.act;
                break;
            case Effect::Removed:
                EXPECT_EQ(FilesIn(after), std::vector<std::string>{}) << c.act;
                break;
            case Effect::Unchanged:
                EXPECT_EQ(after, before) << c.act;
                break;
            }
        }
    }
}

} // namespace
