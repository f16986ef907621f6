#include "platform/Exception.h"
#include "desktop/windows/Registry.h"
#include "desktop/ShellEntries.h"

// The per-user shell entries: a verb on every file and a file type for ".fe2" and ".fez".
namespace lw {
namespace {

constexpr const char* kMarkerKey = "software\\classes\\*\\shell\\Lockwell";
constexpr const char* kFileType = "Lockwell encrypted file";

constexpr const char* kCommandKey = "software\\classes\\*\\shell\\Lockwell\\command";

struct TRow {
    const char* key;
    const char* text;         // the value when afterProgram is null
    const char* afterProgram; // else the value is the program's path followed by this
    bool quoted = false;      // a command: the path in quotes, or "C:\Program Files\..." runs "C:\Program"
};

// In this order; the marker key comes first.
constexpr TRow kRows[] = {
    {kMarkerKey, "Run Lockwell", nullptr},
    {kCommandKey, nullptr, " \"%1\"", true},
    {"software\\classes\\.fe2", kFileType, nullptr},
    {"software\\classes\\.fez", kFileType, nullptr},
    {"software\\classes\\Lockwell encrypted file", kFileType, nullptr},
    {"software\\classes\\Lockwell encrypted file\\DefaultIcon", nullptr, ",0"},
    {"software\\classes\\Lockwell encrypted file\\shell\\open\\command", nullptr, " \"%1\"", true},
};

// Removing these takes every row with it.
constexpr const char* kTopKeys[] = {
    kMarkerKey,
    "software\\classes\\.fe2",
    "software\\classes\\.fez",
    "software\\classes\\Lockwell encrypted file",
};

} // namespace

void InstallShellEntries(const std::string& programPath)
{
    // Installed is the marker with this copy's command; entries of a copy that was moved
    // or of another one are written anew.
    std::string command;
    if (reg::KeyExists(HKEY_CURRENT_USER, kMarkerKey) &&
        reg::ReadDefaultString(HKEY_CURRENT_USER, kCommandKey, command) && command == "\"" + programPath + "\" \"%1\"")
        return;
    for (const TRow& row : kRows) {
        // Every key from the root: a parent that could not be made does not stop its children.
        reg::TRegKey key;
        if (key.Create(HKEY_CURRENT_USER, row.key) != ERROR_SUCCESS)
            continue;
        const std::string program = row.quoted ? "\"" + programPath + "\"" : programPath;
        key.WriteString("", row.afterProgram ? program + row.afterProgram : std::string(row.text));
    }
}

void RemoveShellEntries()
{
    for (const char* key : kTopKeys)
        if (reg::KeyExists(HKEY_CURRENT_USER, key))
            reg::DeleteKeyTree(HKEY_CURRENT_USER, key);
}

} // namespace lw
