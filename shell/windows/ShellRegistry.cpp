#include "platform/Exception.h"
#include "platform/windows/Registry.h"
#include "shell/ShellEntries.h"

// The per-user shell entries: a verb on every file and a file type for ".fe2" and ".fez".
namespace lw {
namespace {

constexpr const char* kMarkerKey = "software\\classes\\*\\shell\\Lockwell";
constexpr const char* kFileType = "Lockwell encrypted file";

struct TRow {
    const char* key;
    const char* text;         // the value when afterProgram is null
    const char* afterProgram; // else the value is the program's path followed by this
};

// In this order; the marker key comes first.
constexpr TRow kRows[] = {
    {kMarkerKey, "Run Lockwell", nullptr},
    {"software\\classes\\*\\shell\\Lockwell\\command", nullptr, " \"%1\""},
    {"software\\classes\\.fe2", kFileType, nullptr},
    {"software\\classes\\.fez", kFileType, nullptr},
    {"software\\classes\\Lockwell encrypted file", kFileType, nullptr},
    {"software\\classes\\Lockwell encrypted file\\DefaultIcon", nullptr, ",0"},
    {"software\\classes\\Lockwell encrypted file\\shell\\open\\command", nullptr, " \"%1\""},
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
    if (reg::KeyExists(HKEY_CURRENT_USER, kMarkerKey))
        return;
    for (const TRow& row : kRows) {
        // Every key from the root: a parent that could not be made does not stop its children.
        reg::TRegKey key;
        if (key.Create(HKEY_CURRENT_USER, row.key) != ERROR_SUCCESS)
            continue;
        key.WriteString("", row.afterProgram ? programPath + row.afterProgram : std::string(row.text));
    }
}

void RemoveShellEntries()
{
    for (const char* key : kTopKeys)
        if (reg::KeyExists(HKEY_CURRENT_USER, key))
            reg::DeleteKeyTree(HKEY_CURRENT_USER, key);
}

} // namespace lw
