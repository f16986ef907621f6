// Path shortening on any bytes, with a measurer that gives each byte its own width.
// Layout of an input: the width limit (two bytes), then the path. Shortening ends, keeps
// the file name whole, and leaves a path that fits or nothing left to drop.
#include <string>

#include "FuzzUtil.h"
#include "platform/Path.h"
#include "platform/PathShortener.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int maxWidth = data[0] | (data[1] << 8);
    const std::string path(reinterpret_cast<const char*>(data + 2), size - 2);

    // Each drop removes a folder, so it reaches the empty text in a bounded number of steps.
    std::string directory = path;
    size_t steps = 0;
    while (!directory.empty()) {
        const std::string next = lw::DropLeadingDirectory(directory);
        FUZZ_CHECK(next != directory);
        directory = next;
        FUZZ_CHECK(++steps <= path.size() + 3);
    }

    size_t measured = 0;
    const lw::TTextMeasurer measure = [&measured](const std::string& text) {
        ++measured;
        int width = 0;
        for (const char c : text)
            width += 1 + (static_cast<unsigned char>(c) & 7);
        return width;
    };
    const std::string shortened = lw::ShortenPathToWidth(path, measure, maxWidth);
    const size_t calls = measured;
    FUZZ_CHECK(calls <= path.size() + 4);
    const std::string name = lw::path::ExtractFileName(path);
    FUZZ_CHECK(shortened.size() >= name.size() && shortened.ends_with(name));
    if (measure(path) <= maxWidth)
        FUZZ_CHECK(shortened == path);
    else
        FUZZ_CHECK(measure(shortened) <= maxWidth || shortened == name);
    return 0;
}
