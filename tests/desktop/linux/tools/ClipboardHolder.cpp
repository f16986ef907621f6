// Test helper: places a file on the clipboard as the window does, reports whether the
// clipboard is held, then lingers like the program after its window closed.
// Usage: ClipboardHolder PATH [LINGER_MS]   (an empty PATH skips the copy)
//        ClipboardHolder --no-app  (tries the copy before the application exists)
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "desktop/linux/Clipboard.h"
#include "platform/Exception.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (std::string(argv[1]) == "--no-app") {
        try {
            lw::PlaceFileOnClipboard("/tmp/x");
        } catch (const lw::Exception& e) {
            std::printf("error %s\n", e.what());
        }
        return 0;
    }
    QApplication app(argc, argv);
    const std::string path = argv[1];
    if (!path.empty()) {
        try {
            lw::PlaceFileOnClipboard(path);
        } catch (const lw::Exception& e) {
            std::printf("error %s\n", e.what());
            return 1;
        }
    }
    std::printf("%s\n", lw::ClipboardHeld() ? "held" : "free");
    std::fflush(stdout);
    lw::LingerForClipboard(app, argc > 2 ? std::atoi(argv[2]) : 0);
    std::printf("ended\n");
    return 0;
}
