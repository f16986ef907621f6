#include "desktop/windows/FolderPicker.h"
#include "platform/windows/Unicode.h"

#include <vector>
#include <windows.h>

#include <shlobj.h>

namespace lw {
namespace {

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(win::WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The shell's allocator, released when done.
class TShellMalloc {
public:
    TShellMalloc()
    {
        if (FAILED(SHGetMalloc(&m_malloc)))
            m_malloc = nullptr;
    }
    ~TShellMalloc()
    {
        if (m_malloc)
            m_malloc->Release();
    }
    TShellMalloc(const TShellMalloc&) = delete;
    TShellMalloc& operator=(const TShellMalloc&) = delete;

    IMalloc* operator->() const { return m_malloc; }
    explicit operator bool() const { return m_malloc != nullptr; }

private:
    IMalloc* m_malloc = nullptr;
};

// Memory of the shell's allocator, freed through it.
template <typename T>
class TShellMemory {
public:
    TShellMemory(const TShellMalloc& malloc, T* memory) : m_malloc(malloc), m_memory(memory) {}
    ~TShellMemory()
    {
        if (m_memory)
            m_malloc->Free(m_memory);
    }
    TShellMemory(const TShellMemory&) = delete;
    TShellMemory& operator=(const TShellMemory&) = delete;

    T* Get() const { return m_memory; }

private:
    const TShellMalloc& m_malloc;
    T* m_memory;
};

// The tree's root: the desktop folder parses the path into an item.
LPITEMIDLIST ParseRoot(const std::string& root, HWND owner)
{
    if (root.empty())
        return nullptr;
    std::wstring wide = win::Wide(root);
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return nullptr;
    LPITEMIDLIST item = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop->ParseDisplayName(owner, nullptr, wide.data(), &eaten, &item, nullptr)))
        item = nullptr;
    desktop->Release();
    return item;
}

int CALLBACK SelectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM folder)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, folder);
    return 0;
}

// While it lives, the thread's other windows take no input and the system shows no
// critical-error boxes (an empty removable drive, say).
class TModalScope {
public:
    TModalScope() : m_errorMode(SetErrorMode(SEM_FAILCRITICALERRORS))
    {
        EnumThreadWindows(GetCurrentThreadId(), &TModalScope::Disable, reinterpret_cast<LPARAM>(this));
    }
    ~TModalScope()
    {
        SetErrorMode(m_errorMode);
        for (HWND window : m_disabled)
            EnableWindow(window, TRUE);
    }
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;

private:
    static BOOL CALLBACK Disable(HWND window, LPARAM self)
    {
        if (IsWindowVisible(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            reinterpret_cast<TModalScope*>(self)->m_disabled.push_back(window);
        }
        return TRUE;
    }

    UINT m_errorMode;
    std::vector<HWND> m_disabled;
};

} // namespace

bool PickFolder(const std::string& caption, const std::string& root, std::string& folder, void* owner)
{
    try {
        if (!folder.empty() && !IsDirectory(folder))
            folder.clear();
        const TShellMalloc malloc;
        if (!malloc)
            return false;
        const TShellMemory<wchar_t> buffer(malloc, static_cast<wchar_t*>(malloc->Alloc(MAX_PATH * sizeof(wchar_t))));
        if (!buffer.Get())
            return false;
        const auto window = static_cast<HWND>(owner);
        const TShellMemory<ITEMIDLIST> rootItem(malloc, ParseRoot(root, window));

        const std::wstring title = win::Wide(caption), start = win::Wide(folder);
        BROWSEINFOW info{};
        info.hwndOwner = window;
        info.pidlRoot = rootItem.Get();
        info.pszDisplayName = buffer.Get();
        info.lpszTitle = title.c_str();
        info.ulFlags = BIF_RETURNONLYFSDIRS;
        if (!folder.empty()) {
            info.lpfn = &SelectInitialFolder;
            info.lParam = reinterpret_cast<LPARAM>(start.c_str());
        }
        LPITEMIDLIST chosen = nullptr;
        {
            const TModalScope modal;
            chosen = SHBrowseForFolderW(&info);
        }
        if (!chosen)
            return false;
        {
            const TShellMemory<ITEMIDLIST> item(malloc, chosen);
            buffer.Get()[0] = L'\0';
            SHGetPathFromIDListW(item.Get(), buffer.Get());
        }
        folder = win::Narrow(buffer.Get());
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace lw
