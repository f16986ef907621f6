#pragma once
#include <string>
#include <windows.h>

// The registry through the wide calls (texts in UTF-8), with one owner per open key.
namespace lw::reg {

inline constexpr const char* kSetDataError = "Failed to set data for '%s'";

class TRegKey {
public:
    TRegKey() = default;
    ~TRegKey();
    TRegKey(TRegKey&& other) noexcept;
    TRegKey& operator=(TRegKey&& other) noexcept;
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;

    // root\path, created with any missing parents and opened with full access. The
    // Win32 error code; 0 on success.
    LONG Create(HKEY root, const std::string& path);
    LONG Open(HKEY root, const std::string& path, REGSAM access);
    void Close();

    bool IsOpen() const { return m_key != nullptr; }
    HKEY Handle() const { return m_key; }

    // A plain string value stored with its terminating NUL; the empty name is the key's
    // default value. Raises "Failed to set data for '<name>'".
    void WriteString(const std::string& name, const std::string& value);

private:
    HKEY m_key = nullptr;
};

// Opens root\path for reading (query values, enumerate subkeys) and closes it again.
bool KeyExists(HKEY root, const std::string& path);
// The default value of root\path when it is a string; false when there is none.
bool ReadDefaultString(HKEY root, const std::string& path, std::string& value);

// Deletes root\path with everything below it: subkeys before their parent, the last
// subkey first. Failures are ignored.
void DeleteKeyTree(HKEY root, const std::string& path);

// Test seam: a hook that may fail a call with the Win32 error code it returns (0 lets
// the call through). One hook for the process; null removes it.
enum class TRegOp { Create, SetValue };
using TRegFaultHook = LONG (*)(TRegOp op, void* context);
void SetFaultHook(TRegFaultHook hook, void* context);

} // namespace lw::reg
