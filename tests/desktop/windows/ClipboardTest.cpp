#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <windows.h>

#include "platform/Exception.h"
#include "desktop/windows/Clipboard.h"

namespace {

// The block spelled out: offset 20, sixteen zero bytes, the path, two zero bytes.
std::string ExpectedBlock(const std::string& path)
{
    return std::string("\x14\0\0\0", 4) + std::string(16, '\0') + path + std::string(2, '\0');
}

class ClipboardOpen {
public:
    ClipboardOpen() : m_open(OpenClipboard(nullptr) != FALSE) {}
    ~ClipboardOpen()
    {
        if (m_open)
            CloseClipboard();
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};

void PutText(const char* text)
{
    const std::size_t size = std::strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), text, size);
    GlobalUnlock(block);
    ClipboardOpen clipboard;
    ASSERT_TRUE(clipboard.IsOpen());
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_TEXT, block), nullptr);
}

struct TDrop {
    std::string raw;
    UINT count = 0;
    std::string first;
    std::size_t formats = 0;
    bool text = false;
};

TDrop ReadDrop()
{
    TDrop drop;
    ClipboardOpen clipboard;
    if (!clipboard.IsOpen())
        return drop;
    drop.formats = static_cast<std::size_t>(CountClipboardFormats());
    drop.text = IsClipboardFormatAvailable(CF_TEXT) != FALSE;
    auto* handle = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    if (!handle)
        return drop;
    const auto* bytes = static_cast<const char*>(GlobalLock(handle));
    drop.raw.assign(bytes, GlobalSize(handle));
    GlobalUnlock(handle);
    drop.count = DragQueryFileA(handle, 0xFFFFFFFF, nullptr, 0);
    char name[MAX_PATH * 2] = {};
    const UINT length = DragQueryFileA(handle, 0, name, sizeof name);
    drop.first.assign(name, length);
    return drop;
}

TEST(WindowsClipboard, FileDropReplacesWhatWasThere)
{
    const std::string paths[] = {
        "C:\\Temp\\report.txt.fe2",
        "C:\\Donn\xE9"
        "es\\r\xE9sum\xE9.fez",       // 8-bit, in the system code page
        "\\\\server\\share\\a;b.fe2", // the block holds one file whatever it contains
        "x",
    };
    for (const std::string& path : paths) {
        PutText("earlier text");
        lw::PutFileDropOnClipboard(path, nullptr);
        const TDrop drop = ReadDrop();
        EXPECT_EQ(drop.raw, ExpectedBlock(path)) << path;
        EXPECT_EQ(drop.raw.size(), path.size() + 22) << path;
        EXPECT_EQ(drop.count, 1u) << path;
        EXPECT_EQ(drop.first, path);
        EXPECT_FALSE(drop.text) << "the earlier content is gone";
        EXPECT_EQ(drop.formats, 1u) << path;
    }
}

TEST(WindowsClipboard, GivenWindowOwnsTheClipboard)
{
    HWND window = CreateWindowExA(0, "STATIC", "owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr) << "error " << GetLastError();
    lw::PutFileDropOnClipboard("C:\\a.fe2", window);
    EXPECT_EQ(GetClipboardOwner(), window);
    EXPECT_EQ(ReadDrop().first, "C:\\a.fe2");
    DestroyWindow(window);
}

TEST(WindowsClipboard, ClipboardHeldElsewhereRaisesAndChangesNothing)
{
    PutText("kept");
    std::promise<void> opened;
    std::promise<void> release;
    std::thread holder([&] {
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        const BOOL open = OpenClipboard(window);
        opened.set_value();
        release.get_future().wait();
        if (open)
            CloseClipboard();
        DestroyWindow(window);
    });
    opened.get_future().wait();
    try {
        lw::PutFileDropOnClipboard("C:\\a.fe2", nullptr);
        ADD_FAILURE() << "no failure raised";
    } catch (const lw::Exception& e) {
        EXPECT_STREQ(e.what(), "Cannot open clipboard");
    }
    release.set_value();
    holder.join();
    const TDrop drop = ReadDrop();
    EXPECT_TRUE(drop.text);
    EXPECT_TRUE(drop.raw.empty());
}

} // namespace
