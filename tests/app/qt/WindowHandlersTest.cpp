// The window's handlers, driven through its controls.
#include <QApplication>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "WindowFixture.h"

namespace {

using lwtest::WindowFixture;

// On the box or circle itself: a click beside a short caption hits nothing.
void Click(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
}

QRadioButton* Item(const WindowFixture& window, const char* name)
{
    return window.Find<QGroupBox>("ciphers")->findChild<QRadioButton*>(name);
}

int Selected(const WindowFixture& window)
{
    auto* group = window.Find<QGroupBox>("ciphers");
    const auto items = group->findChildren<QRadioButton*>();
    for (int i = 0; i < items.size(); ++i)
        if (items[i]->isChecked())
            return i;
    return -1;
}

TEST(WindowSettings, StoredCipherIsReadAndWrittenBack)
{
    const struct {
        const char* stored; // nullptr: no settings file
        int selected;
        const char* fileAfter;
    } cases[] = {
        {nullptr, 1, "[Options]\r\nCipher=1\r\n"}, {"7", 3, "[Options]\r\nCipher=3\r\n"},
        {"0x2", 2, "[Options]\r\nCipher=2\r\n"},   {"abc", 1, "[Options]\r\nCipher=1\r\n"},
        {"$3", 3, "[Options]\r\nCipher=3\r\n"},    {" 2", 2, "[Options]\r\nCipher=2\r\n"},
        {"0", 0, "[Options]\nCipher=0\n"},    // no change of selection: nothing written
        {"-5", -1, "[Options]\nCipher=-5\n"}, // nothing selected, the file is left alone
        {"-1", -1, "[Options]\nCipher=-1\n"},
    };
    for (const auto& c : cases) {
        WindowFixture window;
        if (c.stored)
            window.Put(window.Ini(), std::string("[Options]\nCipher=") + c.stored + "\n");
        window.Open("/tmp/a.txt");
        EXPECT_EQ(Selected(window), c.selected) << (c.stored ? c.stored : "none");
        EXPECT_EQ(window.Text(window.Ini()), c.fileAfter) << (c.stored ? c.stored : "none");
        EXPECT_TRUE(window.errors.empty());
    }
}

TEST(WindowSettings, OnlyAChangeOfCipherIsWritten)
{
    WindowFixture window;
    window.Open("/tmp/a.txt");
    std::filesystem::remove(window.Ini());
    Click(Item(window, "Blowfish"));
    EXPECT_FALSE(std::filesystem::exists(window.Ini())) << "clicking the selected cipher writes nothing";
    Click(Item(window, "Serpent"));
    EXPECT_EQ(window.Text(window.Ini()), "[Options]\r\nCipher=2\r\n");
    Click(Item(window, "RC4"));
    EXPECT_EQ(window.Text(window.Ini()), "[Options]\r\nCipher=0\r\n");
}

TEST(WindowSettings, UnwritableSettingsShowTheErrorBox)
{
    WindowFixture window;
    std::filesystem::create_directory(window.Ini()); // a folder where the file should be
    window.Open("/tmp/dir/a.txt");
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_EQ(window.errors[0].title, "Lockwell");
    EXPECT_EQ(window.errors[0].text, "Unable to write to " + window.Ini() + ".");
    EXPECT_EQ(Selected(window), 1) << "the selection stays as chosen";
    EXPECT_EQ(window.Find<QLabel>("label2")->text(), "/tmp/dir/a.txt") << "creation goes on";
    Click(Item(window, "RC4"));
    EXPECT_EQ(window.errors.size(), 2u);
    EXPECT_EQ(Selected(window), 0);
}

TEST(WindowOptions, CheckBoxRules)
{
    WindowFixture window;
    window.Open("/tmp/a.txt");
    auto* email = window.Find<QCheckBox>("emailbox");
    auto* delmail = window.Find<QCheckBox>("delmailbox");
    auto* copy = window.Find<QCheckBox>("copybox");
    Click(email);
    EXPECT_TRUE(delmail->isEnabled());
    Click(delmail);
    EXPECT_TRUE(delmail->isChecked());
    EXPECT_FALSE(copy->isEnabled());
    Click(email);
    EXPECT_FALSE(delmail->isEnabled());
    EXPECT_TRUE(delmail->isChecked()) << "keeps its check mark while disabled";
    EXPECT_FALSE(copy->isEnabled()) << "unchecking emailbox leaves copybox alone";
    Click(email);
    Click(delmail);
    EXPECT_TRUE(copy->isEnabled());
}

TEST(WindowFolders, ListIsLoadedSortedAndSavedOnEveryClose)
{
    WindowFixture window;
    window.Put(window.Dat(), "/srv/b\n/home/Ann\r\n/srv/b\r\rX\r\n");
    auto& form = window.Open("/tmp/a.txt");
    EXPECT_EQ(window.Items(), (std::vector<std::string>{"", "/home/Ann", "/srv/b", "/srv/b", "X"}));
    EXPECT_EQ(window.Find<QComboBox>("folders")->currentIndex(), -1) << "nothing picked at start";
    form.show();
    form.close(); // the close box, no job
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(window.Text(window.Dat()), "\r\n/home/Ann\r\n/srv/b\r\n/srv/b\r\nX\r\n");
}

TEST(WindowFolders, NoListFileGivesAnEmptyListAndAnEmptyFile)
{
    WindowFixture window;
    auto& form = window.Open("/tmp/a.txt");
    EXPECT_TRUE(window.Items().empty());
    form.close();
    EXPECT_TRUE(std::filesystem::exists(window.Dat()));
    EXPECT_EQ(window.Text(window.Dat()), "");
}

TEST(WindowFolders, AFailedSaveStillCloses)
{
    WindowFixture window;
    auto& form = window.Open("/tmp/a.txt");
    std::filesystem::create_directory(window.Dat());
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_EQ(window.errors[0].title, "Lockwell");
    EXPECT_NE(window.errors[0].text.find(window.Dat()), std::string::npos) << window.errors[0].text;
}

TEST(WindowFolders, UnreadableListSkipsTheRestOfCreation)
{
    WindowFixture window;
    window.Put(window.Ini(), "[Options]\r\nCipher=0\r\n"); // read, not written
    window.Put(window.Dat(), "/srv\r\n");
    lwtest::FaultScope faults;
    faults.FailFrom(lw::fs::TFileOp::Open, 2, EACCES); // the settings read, then the list
    auto& form = window.Open("/tmp/dir/a.txt");
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_EQ(window.errors[0].text.rfind("Cannot open file \"" + window.Dat() + "\".", 0), 0u)
        << window.errors[0].text;
    EXPECT_TRUE(window.Items().empty());
    EXPECT_EQ(window.Find<QLabel>("label2")->text(), "") << "the remaining steps are skipped";
    form.show();
    EXPECT_TRUE(form.isVisible()) << "the window still opens";
}

TEST(WindowFolders, DestinationAddsTheChosenFolderAgain)
{
    WindowFixture window;
    window.Put(window.Dat(), "/srv/b\r\n/srv/a\r\n");
    window.Open("/tmp/dir/a.txt");
    auto* list = window.Find<QComboBox>("folders");
    window.nextFolder = "/SRV/A";
    QTest::mouseClick(window.Find<QPushButton>("Button4"), Qt::LeftButton);
    EXPECT_EQ(window.pickerCalls, std::vector<std::string>{"Select a folder||"});
    EXPECT_EQ(window.Items(), (std::vector<std::string>{"/srv/a", "/SRV/A", "/srv/b"}));
    EXPECT_EQ(list->currentIndex(), 0) << "the first item equal without regard to case";
    EXPECT_EQ(window.form->DestinationFolder(), "/SRV/A");
    EXPECT_EQ(window.Find<QLabel>("Label3")->text(), "/SRV/A") << "the label shows where the output goes";
    EXPECT_TRUE(window.Find<QPushButton>("Button3")->isEnabled()) << "back to the source's folder is offered";

    window.nextFolder = "/srv/b";
    QTest::mouseClick(window.Find<QPushButton>("Button4"), Qt::LeftButton);
    EXPECT_EQ(window.Items(), (std::vector<std::string>{"/srv/a", "/SRV/A", "/srv/b", "/srv/b"}));
    EXPECT_EQ(list->currentIndex(), 2);

    window.nextFolder.reset(); // cancelled
    QTest::mouseClick(window.Find<QPushButton>("Button4"), Qt::LeftButton);
    EXPECT_EQ(window.form->DestinationFolder(), "") << "the output goes beside the source";
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(window.Items().size(), 4u);
    EXPECT_EQ(window.Find<QLabel>("Label3")->text(), "/tmp/dir/");
    EXPECT_FALSE(window.Find<QPushButton>("Button3")->isEnabled());
}

TEST(WindowFolders, PickDeleteOriginalAndDoubleClick)
{
    WindowFixture window;
    window.Put(window.Dat(), "/srv/a\r\n/srv/b\r\n/srv/c\r\n");
    window.Open("/tmp/dir/a.txt");
    auto* list = window.Find<QComboBox>("folders");
    auto* label = window.Find<QLabel>("Label3");
    auto* original = window.Find<QPushButton>("Button3");

    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(window.Items().size(), 3u) << "Delete with nothing picked does nothing";

    QTest::keyClick(list, Qt::Key_Down); // picks the first item
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(window.form->DestinationFolder(), "/srv/b");
    EXPECT_EQ(label->text(), "/srv/b");
    EXPECT_TRUE(original->isEnabled());

    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(window.Items(), (std::vector<std::string>{"/srv/a", "/srv/c"}));
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(window.form->DestinationFolder(), "/srv/b") << "the destination stays";

    QTest::mouseClick(original, Qt::LeftButton);
    EXPECT_EQ(window.form->DestinationFolder(), "");
    EXPECT_EQ(label->text(), "/tmp/dir/");
    EXPECT_FALSE(original->isEnabled());

    QTest::keyClick(list, Qt::Key_Down);
    QTest::mouseClick(original, Qt::LeftButton);
    EXPECT_EQ(list->currentIndex(), 0) << "Original leaves the list's selection";

    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(original->isEnabled());
    QTest::mouseDClick(label, Qt::LeftButton);
    EXPECT_EQ(window.form->DestinationFolder(), "/tmp/dir/");
    EXPECT_EQ(label->text(), "/tmp/dir/");
    EXPECT_TRUE(original->isEnabled()) << "the double click leaves Original alone";
}

TEST(WindowFolders, ListWidensWhileOpen)
{
    WindowFixture window;
    window.Put(window.Dat(), "/srv/a\r\n");
    auto& form = window.Open("/tmp/a.txt");
    form.show();
    auto* list = window.Find<QComboBox>("folders");
    list->showPopup();
    EXPECT_EQ(list->geometry().right(), form.width() - 1 - list->x()) << "open inside the window, margins alike";
    list->hidePopup();
    EXPECT_EQ(list->width(), 233);
    list->hidePopup();
    EXPECT_EQ(list->width(), 233) << "a list that is not open does not close up";
    // Taken down with its list open: the close-up must not reach a window that is going.
    list->showPopup();
    window.form.reset();
}

TEST(WindowFolders, LongPathsAreShortenedToTheirLabels)
{
    WindowFixture window;
    const std::string source = "/home/ann/a rather long folder name/another long folder name/third/file name.txt";
    window.Open(source);
    auto* label2 = window.Find<QLabel>("label2");
    auto* label3 = window.Find<QLabel>("Label3");
    EXPECT_EQ(label2->text().left(5), "/.../");
    EXPECT_TRUE(label2->text().endsWith("/file name.txt"));
    EXPECT_LE(label2->fontMetrics().horizontalAdvance(label2->text()), 300);
    EXPECT_TRUE(label3->text().startsWith("/.../"));
    EXPECT_LE(label3->fontMetrics().horizontalAdvance(label3->text()), 232);
}

} // namespace
