// Renders the window in both modes, and under a dark scheme. With LOCKWELL_DOCS_DIR set the
// pictures are written there (docs/window-encrypt.png, ...); otherwise to a temp folder.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdlib>
#include <gtest/gtest.h>

#include "WindowFixture.h"

namespace {

struct Picture {
    const char* file;
    const char* source;
    bool dark = false;
};

TEST(WindowPictures, RendersBothModes)
{
    const Picture pictures[] = {
        {"window-encrypt.png", "/home/ann/Documents/Reports/2024/quarterly report.odt"},
        {"window-decrypt.png", "/home/ann/Documents/Reports/2024/quarterly report.odt.fez"},
        {"window-dark.png", "/home/ann/Documents/Reports/2024/quarterly report.odt", true},
    };
    const QPalette light = QApplication::palette();
    lwtest::TempDir out;
    const char* docs = std::getenv("LOCKWELL_DOCS_DIR");
    for (const auto& picture : pictures) {
        QApplication::setPalette(picture.dark ? lwtest::DarkPalette() : light);
        lwtest::WindowFixture window;
        window.Put(window.Dat(), "/home/ann/Backups\r\n/media/usb/Safe\r\n");
        auto& form = window.Open(picture.source);
        form.show();
        const QImage image = form.grab().toImage();
        EXPECT_EQ(image.size(), QSize(325, 383));
        // Something besides the background was drawn.
        EXPECT_NE(image.pixel(20, 12), image.pixel(2, 2)) << "Label1's caption";
        const std::string path = (docs ? std::string(docs) : out.Path()) + "/" + picture.file;
        EXPECT_TRUE(image.save(QString::fromStdString(path))) << path;
        form.close();
    }
    QApplication::setPalette(light);
}

} // namespace
