#pragma once
#include <optional>
#include <string>
#include <windows.h>

// The machine's mail settings for one test: HKEY_LOCAL_MACHINE is a scratch key while it
// lives, so the messaging key can be set up at will and nothing is left behind.
class TMapiSetup {
public:
    static constexpr const char* kScratch = "Software\\lockwell-tests-machine";
    static constexpr const char* kMessagingKey = "SOFTWARE\\Microsoft\\Windows Messaging Subsystem";

    TMapiSetup()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_scratch, nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_scratch);
    }
    ~TMapiSetup()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(m_scratch);
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    }
    TMapiSetup(const TMapiSetup&) = delete;
    TMapiSetup& operator=(const TMapiSetup&) = delete;

    // The "MAPI" value as these bytes (REG_SZ), or the key without the value.
    void SetMapiValue(const std::optional<std::string>& bytes)
    {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMessagingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (bytes)
            RegSetValueExA(key, "MAPI", 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes->data()),
                           static_cast<DWORD>(bytes->size()));
        else
            RegDeleteValueA(key, "MAPI");
        RegCloseKey(key);
    }

private:
    HKEY m_scratch = nullptr;
};

#ifdef LOCKWELL_FAKE_MAPI_DIR
// The stand-in library's folder, named relative to the test program's own.
inline std::string FakeMapiFolder()
{
    char program[MAX_PATH] = {};
    const std::string path(program, GetModuleFileNameA(nullptr, program, MAX_PATH));
    return path.substr(0, path.find_last_of('\\') + 1) + LOCKWELL_FAKE_MAPI_DIR;
}
#endif

// Makes LoadLibraryA("MAPI32.DLL") find the stand-in library in `folder` while it lives.
// Wine prefers its own copy of a system library unless told otherwise in its registry.
class TFakeMapi {
public:
    TFakeMapi(const std::string& folder, const std::string& log) : m_log(log)
    {
        SetDllDirectoryA(folder.c_str());
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &m_overrides, nullptr);
        RegSetValueExA(m_overrides, "mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_LOG", log.c_str());
        DeleteFileA(log.c_str());
    }
    ~TFakeMapi()
    {
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_LOG", nullptr);
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_RESULT", nullptr);
        RegDeleteValueA(m_overrides, "mapi32");
        RegCloseKey(m_overrides);
        SetDllDirectoryA(nullptr);
        DeleteFileA(m_log.c_str());
    }
    TFakeMapi(const TFakeMapi&) = delete;
    TFakeMapi& operator=(const TFakeMapi&) = delete;

    void Answer(unsigned long result)
    {
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_RESULT", std::to_string(result).c_str());
    }

private:
    std::string m_log;
    HKEY m_overrides = nullptr;
};
