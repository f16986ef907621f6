#include "desktop/windows/Clipboard.h"

#include <cstring>
#include <utility>
#include <vector>
#include <optional>
#include <windows.h>

#include "platform/Exception.h"
#include "desktop/FileDrop.h"
#include "platform/windows/Unicode.h"

namespace lw {
namespace {

constexpr const char* kAllocError = "Could not allocate memory.";
constexpr const char* kOpenError = "Cannot open clipboard";

// A block the clipboard has not taken yet.
class TGlobalBlock {
public:
    explicit TGlobalBlock(std::size_t size) : m_block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, size))
    {
        if (!m_block)
            throw Exception(kAllocError);
    }
    ~TGlobalBlock()
    {
        if (m_block)
            GlobalFree(m_block);
    }
    TGlobalBlock(const TGlobalBlock&) = delete;
    TGlobalBlock& operator=(const TGlobalBlock&) = delete;

    void Fill(const std::vector<uint8_t>& bytes)
    {
        void* target = GlobalLock(m_block);
        if (!target)
            throw Exception(kAllocError);
        std::memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(m_block);
    }
    HGLOBAL Release() { return std::exchange(m_block, nullptr); }

private:
    HGLOBAL m_block;
};

// A hidden message-only window that opens the clipboard when the program has no window.
class TUtilityWindow {
public:
    explicit TUtilityWindow(HWND owner)
        : m_window(owner ? nullptr
                         : CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleA(nullptr), nullptr)),
          m_owner(owner ? owner : m_window)
    {}
    ~TUtilityWindow()
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    TUtilityWindow(const TUtilityWindow&) = delete;
    TUtilityWindow& operator=(const TUtilityWindow&) = delete;

    HWND Owner() const { return m_owner; }

private:
    HWND m_window;
    HWND m_owner;
};

} // namespace

namespace {

// The block as before where the code page holds the name exactly; else its wide form
// (DROPFILES.fWide, byte 16), in which every name fits.
std::vector<uint8_t> DropBlockFor(const std::string& path)
{
    const std::wstring wide = win::Wide(path);
    if (const std::optional<std::string> ansi = win::InCodePage(wide))
        return BuildFileDropBlock(*ansi);
    std::vector<uint8_t> block(kFileDropHeaderSize + (wide.size() + 2) * sizeof(wchar_t), 0);
    block[0] = static_cast<uint8_t>(kFileDropHeaderSize);
    block[16] = 1;
    std::memcpy(block.data() + kFileDropHeaderSize, wide.data(), wide.size() * sizeof(wchar_t));
    return block;
}

} // namespace

void PutFileDropOnClipboard(const std::string& path, void* owner)
{
    const std::vector<uint8_t> bytes = DropBlockFor(path);
    TGlobalBlock block(bytes.size());
    block.Fill(bytes);

    const TUtilityWindow window(static_cast<HWND>(owner));
    if (!OpenClipboard(window.Owner()))
        throw Exception(kOpenError);
    EmptyClipboard();
    // The clipboard owns the block from here on, whether or not it took it.
    SetClipboardData(CF_HDROP, block.Release());
    CloseClipboard();
}

} // namespace lw
