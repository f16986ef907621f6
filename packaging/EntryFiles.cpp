// Writes the window program's own desktop entry or MIME package to a file, so the
// installed copies are the very text the per-user registration writes.
#include "desktop/linux/ShellEntryFiles.h"

#include <cstdio>
#include <fstream>
#include <string_view>

int main(int argc, char** argv)
{
    const std::string_view kind = argc >= 3 ? argv[1] : "";
    std::string text;
    if (kind == "desktop" && argc == 4)
        text = lw::DesktopEntryFile(argv[3]);
    else if (kind == "mime" && argc == 3)
        text = lw::MimePackageFile();
    else {
        std::fputs("usage: lockwell-entry-files desktop OUTPUT PROGRAM | mime OUTPUT\n", stderr);
        return 2;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "lockwell-entry-files: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
