// The saved-folders file read from any bytes: lines never carry a line end or a NUL,
// reading a file agrees with splitting its text, and what is written reads back the same.
#include <algorithm>
#include <string>

#include "FuzzUtil.h"
#include "platform/FolderList.h"

namespace {

lwfuzz::Scratch* g_scratch = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static lwfuzz::Scratch scratch;
    g_scratch = &scratch;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = *g_scratch / "folders.dat";
    lwfuzz::WriteBytes(path, data, size);
    const std::vector<std::string> lines = lw::ReadFolderList(path);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(lines == lw::SplitFolderList(text));
    size_t kept = 0;
    for (const auto& line : lines) {
        FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        kept += line.size();
    }
    // Every byte before the first NUL is either in a line or a line end.
    const std::string_view used = text.substr(0, text.find('\0'));
    FUZZ_CHECK(kept + std::count_if(used.begin(), used.end(), [](char c) { return c == '\r' || c == '\n'; }) ==
               used.size());
    // A line end makes at most one line break: never more lines than ends plus one.
    FUZZ_CHECK(lines.size() <= used.size());

    FUZZ_CHECK(lw::SplitFolderList(lw::JoinFolderList(lines)) == lines);
    lw::WriteFolderList(path, lines);
    FUZZ_CHECK(lw::ReadFolderList(path) == lines);

    // The list's order is a strict weak order, so sorting by it is safe.
    std::vector<std::string> sorted = lines;
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return lw::FolderSortsBefore(a, b); });
    for (size_t i = 0; i + 1 < sorted.size(); ++i) {
        FUZZ_CHECK(!lw::FolderSortsBefore(sorted[i + 1], sorted[i]));
        FUZZ_CHECK(!lw::FolderSortsBefore(sorted[i], sorted[i]));
    }
    return 0;
}
