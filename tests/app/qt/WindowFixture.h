#pragma once
// A window on a temp folder with scripted boxes, a recording hand-off, a scripted
// folder chooser and captured error boxes.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "app/qt/ErrorBox.h"
#include "desktop/linux/FolderPicker.h"
#include "app/qt/StartUp.h"
#include "app/qt/Unit1.h"
#include "jobs/JobDoubles.h"

namespace lwtest {

struct ShownError {
    std::string title;
    std::string text;
};

// A dark scheme whose highlight, a dark blue, does not read on its window colour.
inline QPalette DarkPalette()
{
    QPalette dark = QApplication::palette();
    for (const auto& [role, rgb] : {std::pair{QPalette::Window, 0x353535},
                                    {QPalette::WindowText, 0xf0f0f0},
                                    {QPalette::Base, 0x2a2a2a},
                                    {QPalette::Text, 0xf0f0f0},
                                    {QPalette::Button, 0x353535},
                                    {QPalette::ButtonText, 0xf0f0f0},
                                    {QPalette::Highlight, 0x1d4f8c},
                                    {QPalette::Link, 0x8ab4f8}})
        dark.setColor(role, QColor::fromRgb(static_cast<QRgb>(rgb)));
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(QPalette::Disabled, role, QColor(0x7f7f7f));
    return dark;
}

class WindowFixture {
public:
    WindowFixture()
    {
        lw::SetErrorBoxHookForTesting([this](const std::string& title, const std::string& text) {
            errors.push_back({title, text});
        });
        lw::SetFolderChooserForTesting([this](const std::string& caption, const std::string& root,
                                              const std::string& initial) -> std::optional<std::string> {
            pickerCalls.push_back(caption + "|" + root + "|" + initial);
            return nextFolder;
        });
    }
    ~WindowFixture()
    {
        form.reset();
        lw::SetErrorBoxHookForTesting({});
        lw::SetFolderChooserForTesting({});
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    // Creates the window as start-up does: created, then set up for the path's mode.
    lw::TForm1& Open(const std::string& source)
    {
        form = std::make_unique<lw::TForm1>(source, lw::TSettingsFiles(dir / "lockwell", dir / "config"), ask, handOff);
        form->SetUpForMode(lw::IsDecryptPath(source));
        return *form;
    }

    // Lets the window's event loop run until the job or wipe a button started has ended.
    void WaitForJob() const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (form && form->JobRunning() && std::chrono::steady_clock::now() < deadline)
            QTest::qWait(1);
        if (form && form->JobRunning())
            ADD_FAILURE() << "the job did not end";
    }

    template <class W>
    W* Find(const char* name) const
    {
        auto* widget = form->findChild<W*>(name);
        if (!widget)
            ADD_FAILURE() << "no control " << name;
        return widget;
    }

    std::string Ini() const { return dir / "lockwell.ini"; }
    std::string Dat() const { return dir / "lockwell.dat"; }
    std::string Text(const std::string& path) const
    {
        const auto bytes = ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }
    void Put(const std::string& path, const std::string& text) const
    {
        WriteFile(path, Bytes(text.begin(), text.end()));
    }
    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        auto* list = Find<QComboBox>("folders");
        for (int i = 0; i < list->count(); ++i)
            items.push_back(list->itemText(i).toStdString());
        return items;
    }

    TempDir dir;
    ScriptedAsk ask;
    RecordingHandOff handOff;
    std::unique_ptr<lw::TForm1> form;
    std::vector<ShownError> errors;
    std::vector<std::string> pickerCalls;
    std::optional<std::string> nextFolder;
};

} // namespace lwtest
