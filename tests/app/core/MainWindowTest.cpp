// What the window decides, without a toolkit: settings, enabling, the folder list and the
// destination, told to a recording face.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <gtest/gtest.h>

#include "WindowDoubles.h"
#include "platform/Path.h"

namespace {

using lw::TControl;
using lwtest::WindowRig;

TEST(MainWindowSettings, StoredCipherIsClampedShownAndWrittenBack)
{
    const struct {
        const char* stored; // nullptr: no settings file
        int selected;
        std::vector<int> shown; // what the face was told to select
        const char* fileAfter;
    } rows[] = {
        {nullptr, 1, {1}, "[Options]\r\nCipher=1\r\n"}, {"7", 3, {3}, "[Options]\r\nCipher=3\r\n"},
        {"0x2", 2, {2}, "[Options]\r\nCipher=2\r\n"},   {"abc", 1, {1}, "[Options]\r\nCipher=1\r\n"},
        {"0", 0, {}, "[Options]\nCipher=0\n"},      // the layout's selection: no change, nothing written
        {"-5", -1, {-1}, "[Options]\nCipher=-5\n"}, // nothing selected, the file left alone
        {"-1", -1, {-1}, "[Options]\nCipher=-1\n"},     {"2147483647", 3, {3}, "[Options]\r\nCipher=3\r\n"},
    };
    for (const auto& row : rows) {
        const std::string name = row.stored ? row.stored : "none";
        WindowRig rig;
        if (row.stored)
            rig.Put(rig.Ini(), std::string("[Options]\nCipher=") + row.stored + "\n");
        auto& window = rig.Open("/tmp/a.txt");
        EXPECT_EQ(window.CipherIndex(), row.selected) << name;
        EXPECT_EQ(rig.view.cipherShown, row.shown) << name;
        EXPECT_EQ(rig.Text(rig.Ini()), row.fileAfter) << name;
        EXPECT_TRUE(rig.view.errors.empty()) << name;
    }
}

TEST(MainWindowSettings, ClickedCipherIsWrittenAndAFailedWriteRaisesKeepingTheSelection)
{
    WindowRig rig;
    auto& window = rig.Open("/tmp/a.txt");
    window.ciphersClick(0);
    EXPECT_EQ(rig.Text(rig.Ini()), "[Options]\r\nCipher=0\r\n");
    EXPECT_TRUE(rig.view.cipherShown == std::vector<int>{1}) << "the face already shows a click";

    std::filesystem::remove(rig.Ini());
    std::filesystem::create_directory(rig.Ini());
    try {
        window.ciphersClick(2);
        ADD_FAILURE() << "no failure raised";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + rig.Ini());
    }
    EXPECT_EQ(window.CipherIndex(), 2);
}

TEST(MainWindowSettings, UnwritableSettingsAtCreationAreReportedAndCreationGoesOn)
{
    WindowRig rig;
    std::filesystem::create_directory(rig.Ini());
    auto& window = rig.Open("/tmp/dir/a.txt");
    EXPECT_EQ(rig.view.errors, std::vector<std::string>{"Unable to write to " + rig.Ini()});
    EXPECT_EQ(window.CipherIndex(), 1);
    EXPECT_EQ(rig.view.captions[TControl::label2], "/tmp/dir/a.txt");
    EXPECT_EQ(rig.view.captions[TControl::Label3], "/tmp/dir/");
}

TEST(MainWindowSettings, UnreadableListSkipsTheRestOfCreationAndItsHints)
{
#ifdef _WIN32
    constexpr int kListOpen = 1; // the system's profile calls read the settings
#else
    constexpr int kListOpen = 2; // the settings read, then the list
#endif
    WindowRig rig;
    rig.Put(rig.Ini(), "[Options]\r\nCipher=0\r\n");
    rig.Put(rig.Dat(), "/srv\r\n");
    lwtest::FaultScope faults;
    faults.FailFrom(lw::fs::TFileOp::Open, kListOpen, EACCES);
    auto& window = rig.Open("/tmp/dir/a.txt");
    ASSERT_EQ(rig.view.errors.size(), 1u);
    EXPECT_EQ(rig.view.errors[0].rfind("Cannot open file \"" + rig.Dat() + "\"", 0), 0u) << rig.view.errors[0];
    EXPECT_TRUE(window.Folders().empty());
    EXPECT_EQ(rig.view.captions.count(TControl::label2), 0u);
    rig.view.hint = "File options";
    window.ApplicationIdle();
    EXPECT_EQ(rig.view.captions.count(TControl::Panel1), 0u) << "hints are the last step of creation";
}

TEST(MainWindowModes, SetUpForMode)
{
    for (const bool decrypt : {false, true}) {
        WindowRig rig;
        rig.Open("/tmp/a.txt", decrypt);
        EXPECT_EQ(rig.view.captions[TControl::Button1], decrypt ? "&Decrypt" : "&Encrypt");
        EXPECT_EQ(rig.Enabled(TControl::runbox), decrypt);
        EXPECT_EQ(rig.Enabled(TControl::compbox), !decrypt);
        EXPECT_FALSE(rig.Enabled(TControl::Button3));
        EXPECT_FALSE(rig.Enabled(TControl::delmailbox));
        EXPECT_TRUE(rig.Enabled(TControl::copybox));
    }
}

// Each step sets one check mark, then the window hears of it; the enabled states after it.
TEST(MainWindowOptions, EnablingSequences)
{
    struct Step {
        TControl box;
        bool check;
        bool delmailEnabled, copyEnabled;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } rows[] = {
        {"email then delete after mail",
         {{TControl::emailbox, true, true, true}, {TControl::delmailbox, true, true, false}}},
        {"email unchecked leaves copybox disabled",
         {{TControl::emailbox, true, true, true},
          {TControl::delmailbox, true, true, false},
          {TControl::emailbox, false, false, false}}},
        {"delete after mail unchecked frees copybox",
         {{TControl::emailbox, true, true, true},
          {TControl::delmailbox, true, true, false},
          {TControl::delmailbox, false, true, true},
          {TControl::emailbox, false, false, true}}},
        {"email on and off", {{TControl::emailbox, true, true, true}, {TControl::emailbox, false, false, true}}},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        auto& window = rig.Open("/tmp/a.txt");
        for (size_t i = 0; i < row.steps.size(); ++i) {
            const Step& step = row.steps[i];
            rig.view.checked[step.box] = step.check;
            if (step.box == TControl::emailbox)
                window.emailboxClick();
            else
                window.delmailboxClick();
            EXPECT_EQ(rig.Enabled(TControl::delmailbox), step.delmailEnabled) << row.name << " step " << i;
            EXPECT_EQ(rig.Enabled(TControl::copybox), step.copyEnabled) << row.name << " step " << i;
        }
    }
}

TEST(MainWindowFolders, ListIsReadSortedWithDuplicatesAndSavedAtClose)
{
    WindowRig rig;
    rig.Put(rig.Dat(), "/srv/b\n/home/Ann\r\n/srv/b\r\rX\r\n/SRV/B\r\n");
    auto& window = rig.Open("/tmp/a.txt");
    const std::vector<std::string> sorted{"", "/home/Ann", "/srv/b", "/srv/b", "/SRV/B", "X"};
    EXPECT_EQ(window.Folders(), sorted) << "stable: equal folders keep the file's order";
    EXPECT_EQ(rig.view.items, sorted);
    EXPECT_EQ(rig.view.selectedItem, -1);
    std::filesystem::remove(rig.Dat());
    EXPECT_TRUE(window.FormCloseQuery());
    EXPECT_EQ(rig.Text(rig.Dat()), "\r\n/home/Ann\r\n/srv/b\r\n/srv/b\r\n/SRV/B\r\nX\r\n");
}

TEST(MainWindowFolders, AFailedSaveIsReportedAndStillCloses)
{
    WindowRig rig;
    auto& window = rig.Open("/tmp/a.txt");
    std::filesystem::create_directory(rig.Dat());
    EXPECT_TRUE(window.FormCloseQuery());
    ASSERT_EQ(rig.view.errors.size(), 1u);
    EXPECT_NE(rig.view.errors[0].find(rig.Dat()), std::string::npos) << rig.view.errors[0];
}

// Destination picks a folder: it is sorted in after its equals, and the first item equal
// without regard to case is selected.
TEST(MainWindowFolders, DestinationSortsInAndSelectsTheFirstEqual)
{
    const struct {
        const char* picked;
        std::vector<std::string> items;
        int selected;
    } rows[] = {
        {"/SRV/A", {"/srv/a", "/SRV/A", "/srv/b"}, 0},   {"/srv/b", {"/srv/a", "/srv/b", "/srv/b"}, 1},
        {"/aaa", {"/aaa", "/srv/a", "/srv/b"}, 0},       {"/zzz", {"/srv/a", "/srv/b", "/zzz"}, 2},
        {"/Srv/a0", {"/srv/a", "/Srv/a0", "/srv/b"}, 1},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        rig.Put(rig.Dat(), "/srv/b\r\n/srv/a\r\n");
        auto& window = rig.Open("/tmp/dir/a.txt");
        rig.picker.next = row.picked;
        window.Button4Click();
        EXPECT_EQ(rig.picker.calls, std::vector<std::string>{"Select a folder||"}) << row.picked;
        EXPECT_EQ(window.Folders(), row.items) << row.picked;
        EXPECT_EQ(rig.view.items, row.items) << row.picked;
        EXPECT_EQ(rig.view.selectedItem, row.selected) << row.picked;
        EXPECT_EQ(window.DestinationFolder(), row.picked);
    }
}

TEST(MainWindowFolders, DeleteRemovesOnlyThePickedItem)
{
    WindowRig rig;
    rig.Put(rig.Dat(), "/srv/a\r\n/srv/b\r\n/srv/b\r\n");
    auto& window = rig.Open("/tmp/dir/a.txt");
    window.foldersKeyDown(lw::TMainWindow::kVkDelete);
    EXPECT_EQ(window.Folders().size(), 3u) << "nothing picked: nothing removed";

    window.foldersSelect(2);
    window.foldersKeyDown(lw::TMainWindow::kVkDelete + 1);
    EXPECT_EQ(window.Folders().size(), 3u) << "only the Delete key removes";
    window.foldersKeyDown(lw::TMainWindow::kVkDelete);
    EXPECT_EQ(window.Folders(), (std::vector<std::string>{"/srv/a", "/srv/b"}));
    EXPECT_EQ(rig.view.items, window.Folders());
    EXPECT_EQ(rig.view.selectedItem, -1);
    EXPECT_EQ(window.FolderIndex(), -1);
    EXPECT_EQ(window.DestinationFolder(), "/srv/b") << "the destination stays";
    window.foldersKeyDown(lw::TMainWindow::kVkDelete);
    EXPECT_EQ(window.Folders().size(), 2u) << "the removed item's selection went with it";

    EXPECT_TRUE(window.FormCloseQuery());
    EXPECT_EQ(rig.Text(rig.Dat()), "/srv/a\r\n/srv/b\r\n");
}

// Each row is a sequence of acts on a window over /tmp/dir/a.txt with the list
// {/srv/a, /srv/b}; then where the output goes, what Label3 shows and whether Original is on.
TEST(MainWindowDestination, Rules)
{
    const struct {
        const char* acts; // p0/p1 pick an item, d:X Destination picks X, d- Destination cancelled,
                          // o Original, l double click on Label3
        const char* destination;
        const char* label;
        bool original;
    } rows[] = {
        {"", "", "/tmp/dir/", false},
        {"p1", "/srv/b", "/srv/b", true},
        {"p1 o", "", "/tmp/dir/", false},
        {"p1 d-", "", "/tmp/dir/", false},
        {"d:/x/y", "/x/y", "/x/y", true},
        {"l", "/tmp/dir/", "/tmp/dir/", false},
        {"p0 l", "/tmp/dir/", "/tmp/dir/", true},
        {"l o", "", "/tmp/dir/", false},
        {"p0 p9", "/srv/a", "/srv/a", true}, // no such item: nothing changes
    };
    for (const auto& row : rows) {
        WindowRig rig;
        rig.Put(rig.Dat(), "/srv/a\r\n/srv/b\r\n");
        auto& window = rig.Open("/tmp/dir/a.txt");
        std::istringstream acts(row.acts);
        for (std::string act; acts >> act;) {
            if (act[0] == 'p') {
                window.foldersSelect(std::stoi(act.substr(1)));
            } else if (act == "d-") {
                rig.picker.next.reset();
                window.Button4Click();
            } else if (act[0] == 'd') {
                rig.picker.next = act.substr(2);
                window.Button4Click();
            } else if (act == "o") {
                window.Button3Click();
            } else {
                window.Label3DblClick();
            }
        }
        EXPECT_EQ(window.DestinationFolder(), row.destination) << row.acts;
        EXPECT_EQ(rig.view.captions[TControl::Label3], row.label) << row.acts;
        EXPECT_EQ(rig.Enabled(TControl::Button3), row.original) << row.acts;
    }
}

TEST(MainWindowDestination, OriginalLeavesTheListsSelection)
{
    WindowRig rig;
    rig.Put(rig.Dat(), "/srv/a\r\n/srv/b\r\n");
    auto& window = rig.Open("/tmp/dir/a.txt");
    window.foldersSelect(1);
    window.Button3Click();
    EXPECT_EQ(window.FolderIndex(), 1);
}

TEST(MainWindowDestination, LongPathsAreShortenedToTheirWidths)
{
    WindowRig rig;
    // The system's own form of a path: the window gets it from the file manager or made
    // whole, so on Windows with a drive and backslashes.
    const auto native = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', lw::path::kSeparator);
        return path;
    };
#ifdef _WIN32
    const std::string drive = "C:";
#else
    const std::string drive;
#endif
    // 6 pixels a character: 300 pixels hold 50, 232 hold 38.
    rig.Open(drive + native("/home/ann/a rather long folder name/another one/third/file name.txt"));
    const std::string& label2 = rig.view.captions[TControl::label2];
    const std::string& label3 = rig.view.captions[TControl::Label3];
    EXPECT_EQ(label2.rfind(drive + native("/.../"), 0), 0u) << label2;
    EXPECT_TRUE(label2.ends_with(native("/file name.txt"))) << label2;
    EXPECT_LE(lwtest::SixPixels(label2), 300) << label2;
    EXPECT_EQ(label3.rfind(drive + native("/.../"), 0), 0u) << label3;
    EXPECT_LE(lwtest::SixPixels(label3), 232) << label3;
}

TEST(MainWindowHints, StatusLineTakesTheTextAfterABarOnlyWhenItChanges)
{
    const struct {
        std::vector<const char*> hints; // under the pointer at each idle moment
        std::vector<std::string> shown; // what the status line was told, in order
    } rows[] = {
        {{"File options", "File options", ""}, {"File options", ""}},
        {{"short|long one"}, {"long one"}},
        {{"a|b|c"}, {"b|c"}},
        {{""}, {}},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        auto& window = rig.Open("/tmp/a.txt");
        std::vector<std::string> shown;
        for (const char* hint : row.hints) {
            rig.view.hint = hint;
            rig.view.captions.erase(TControl::Panel1);
            window.ApplicationIdle();
            if (rig.view.captions.count(TControl::Panel1))
                shown.push_back(rig.view.captions[TControl::Panel1]);
        }
        EXPECT_EQ(shown, row.shown) << row.hints.front();
    }
}

} // namespace
