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

inline std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end()); // the tests' paths are ASCII
}

// Puts the stand-in library where the test says while it lives, with Wine told to take a
// MAPI32.DLL found there rather than its own. Only the system folder's copy may run:
// one beside the program or in the current folder is a plant.
class TFakeMapi {
public:
    enum class TPlace { SystemFolder, BesideProgram, CurrentFolder };

    TFakeMapi(const std::string& folder, const std::string& log, TPlace place = TPlace::SystemFolder) : m_log(log)
    {
        const std::wstring standIn = Wide(folder) + L"\\MAPI32.DLL";
        wchar_t system[MAX_PATH] = {}, program[MAX_PATH] = {}, current[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        std::wstring programFolder(program, GetModuleFileNameW(nullptr, program, MAX_PATH));
        programFolder.resize(programFolder.find_last_of(L'\\'));
        GetCurrentDirectoryW(MAX_PATH, current);
        m_current = current;
        switch (place) {
        case TPlace::SystemFolder:
            m_planted = std::wstring(system) + L"\\MAPI32.DLL";
            m_saved = m_planted + L".lockwell-saved";
            if (!MoveFileExW(m_planted.c_str(), m_saved.c_str(), MOVEFILE_REPLACE_EXISTING))
                m_saved.clear();
            break;
        case TPlace::BesideProgram: m_planted = programFolder + L"\\MAPI32.DLL"; break;
        case TPlace::CurrentFolder:
            m_folder = Wide(folder) + L"\\cwd";
            CreateDirectoryW(m_folder.c_str(), nullptr);
            SetCurrentDirectoryW(m_folder.c_str());
            m_planted = m_folder + L"\\MAPI32.DLL";
            break;
        }
        CopyFileW(standIn.c_str(), m_planted.c_str(), FALSE);
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &m_overrides, nullptr);
        RegSetValueExA(m_overrides, "mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_LOG", log.c_str());
        DeleteFileA(log.c_str());
    }
    ~TFakeMapi()
    {
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_LOG", nullptr);
        SetEnvironmentVariableA("LOCKWELL_FAKE_MAPI_RESULT", nullptr);
        RegDeleteValueA(m_overrides, "mapi32");
        RegCloseKey(m_overrides);
        DeleteFileW(m_planted.c_str());
        if (!m_saved.empty())
            MoveFileExW(m_saved.c_str(), m_planted.c_str(), MOVEFILE_REPLACE_EXISTING);
        SetCurrentDirectoryW(m_current.c_str());
        if (!m_folder.empty())
            RemoveDirectoryW(m_folder.c_str());
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
    std::wstring m_planted, m_saved, m_current, m_folder;
    HKEY m_overrides = nullptr;
};
