// The clipboard formats as a pasting program reads them back (offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <filesystem>

#include "TestUtil.h"
#include "desktop/linux/Clipboard.h"
#include "desktop/linux/DesktopHandOff.h"
#include "desktop/FileDrop.h"

using namespace lw;

namespace {

std::string Data(const QMimeData* data, const char* format)
{
    const QByteArray bytes = data->data(format);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string BlockText(const std::string& path)
{
    const auto block = BuildFileDropBlock(path);
    return std::string(block.begin(), block.end());
}

class NoAsk : public IAskUser {
public:
    TMsgDlgBtn AskUser(TMsgDlgType, const std::string&, TMsgDlgButtons) override
    {
        ADD_FAILURE() << "no box expected";
        return mbOK;
    }
};

} // namespace

TEST(Clipboard, OffersTheFileInEveryPasteFormat)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const struct {
        std::string path, url;
    } cases[] = {
        {"/tmp/lw/my file \xC3\xA9.fe2", "file:///tmp/lw/my%20file%20%C3%A9.fe2"},
        {"/tmp/not-utf8-\xFF.fez", "file:///tmp/not-utf8-%FF.fez"},
        {"/tmp/a;b#c.txt", "file:///tmp/a%3Bb%23c.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        clipboard->setText("something copied before");
        PlaceFileOnClipboard(c.path);

        const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
        ASSERT_NE(data, nullptr);
        QStringList formats = data->formats();
        formats.sort();
        // What was there before is gone: these are the only formats.
        EXPECT_EQ(formats, (QStringList{"application/x-lockwell-file-drop", "text/plain", "text/uri-list",
                                        "x-special/gnome-copied-files", "x-special/mate-copied-files"}));
        EXPECT_EQ(Data(data, "text/uri-list"), c.url + "\r\n");
        EXPECT_EQ(Data(data, "x-special/gnome-copied-files"), "copy\n" + c.url);
        EXPECT_EQ(Data(data, "x-special/mate-copied-files"), "copy\n" + c.url);
        EXPECT_EQ(Data(data, "text/plain"), c.path);
        EXPECT_EQ(Data(data, kFileDropMimeType), BlockText(c.path));
    }
    // Readers that go through Qt's URL list get the same file.
    EXPECT_EQ(clipboard->mimeData()->urls(), QList<QUrl>{QUrl("file:///tmp/a%3Bb%23c.txt")});
}

TEST(Clipboard, HandOffPublishesTheAbsolutePath)
{
    NoAsk ask;
    TDesktopHandOff handOff(ask);
    handOff.PutFileOnClipboard("out dir/x.fe2");
    const std::string absolute = std::filesystem::current_path().string() + "/out dir/x.fe2";
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(Data(data, "text/plain"), absolute);
    EXPECT_EQ(Data(data, kFileDropMimeType), BlockText(absolute));
    EXPECT_EQ(Data(data, "x-special/gnome-copied-files"), "copy\n" + FileUrlFromPath(absolute));
}

TEST(Clipboard, OffscreenClipboardIsNotHeldForOthers)
{
    // The offscreen clipboard lives inside this process, so there is nothing to stay for.
    PlaceFileOnClipboard("/tmp/x.fe2");
    EXPECT_FALSE(ClipboardHeld());
    LingerForClipboard(*qApp);
}
