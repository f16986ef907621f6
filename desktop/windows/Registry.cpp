#include "desktop/windows/Registry.h"

#include <string_view>
#include <utility>
#include <vector>

#include "platform/Exception.h"
#include "platform/windows/Unicode.h"

namespace lw::reg {
namespace {

struct TFaultHook {
    TRegFaultHook hook = nullptr;
    void* context = nullptr;
};

// Process-wide because the code under test opens its keys itself; only tests set it.
TFaultHook& Hook()
{
    static TFaultHook hook;
    return hook;
}

LONG InjectedFault(TRegOp op)
{
    const TFaultHook& h = Hook();
    return h.hook ? h.hook(op, h.context) : ERROR_SUCCESS;
}

std::string SetDataMessage(const std::string& name)
{
    const std::string_view pattern = kSetDataError;
    const auto at = pattern.find("%s");
    return std::string(pattern.substr(0, at)) + name + std::string(pattern.substr(at + 2));
}

void DeleteSubkeys(HKEY key)
{
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> name(longest + 1);
    for (DWORD i = count; i-- > 0;) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        DeleteKeyTree(key, win::Narrow(std::wstring_view(name.data(), length)));
    }
}

} // namespace

TRegKey::~TRegKey()
{
    Close();
}

TRegKey::TRegKey(TRegKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr))
{}

TRegKey& TRegKey::operator=(TRegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        m_key = std::exchange(other.m_key, nullptr);
    }
    return *this;
}

LONG TRegKey::Create(HKEY root, const std::string& path)
{
    Close();
    if (const LONG fault = InjectedFault(TRegOp::Create))
        return fault;
    const LONG rc = RegCreateKeyExW(root, win::Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &m_key, nullptr);
    if (rc != ERROR_SUCCESS)
        m_key = nullptr;
    return rc;
}

LONG TRegKey::Open(HKEY root, const std::string& path, REGSAM access)
{
    Close();
    const LONG rc = RegOpenKeyExW(root, win::Wide(path).c_str(), 0, access, &m_key);
    if (rc != ERROR_SUCCESS)
        m_key = nullptr;
    return rc;
}

void TRegKey::Close()
{
    if (m_key)
        RegCloseKey(std::exchange(m_key, nullptr));
}

void TRegKey::WriteString(const std::string& name, const std::string& value)
{
    LONG rc = InjectedFault(TRegOp::SetValue);
    if (rc == ERROR_SUCCESS) {
        const std::wstring wideName = win::Wide(name), wideValue = win::Wide(value);
        rc = RegSetValueExW(m_key, name.empty() ? nullptr : wideName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(wideValue.c_str()),
                            static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t)));
    }
    if (rc != ERROR_SUCCESS)
        throw Exception(SetDataMessage(name));
}

bool KeyExists(HKEY root, const std::string& path)
{
    TRegKey key;
    return key.Open(root, path, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS) == ERROR_SUCCESS;
}

bool ReadDefaultString(HKEY root, const std::string& path, std::string& value)
{
    const std::wstring key = win::Wide(path);
    DWORD size = 0;
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return false;
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    value = win::Narrow(text);
    return true;
}

void DeleteKeyTree(HKEY root, const std::string& path)
{
    {
        TRegKey key;
        if (key.Open(root, path, KEY_ALL_ACCESS) == ERROR_SUCCESS)
            DeleteSubkeys(key.Handle());
    }
    RegDeleteKeyW(root, win::Wide(path).c_str());
}

void SetFaultHook(TRegFaultHook hook, void* context)
{
    Hook() = {hook, context};
}

} // namespace lw::reg
