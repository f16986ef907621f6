#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "desktop/windows/Registry.h"
#include "desktop/ShellEntries.h"

namespace {

constexpr const char* kProgram = "C:\\Tools\\app.exe";
constexpr const char* kScratch = "software\\lockwell-tests";

// Each test sees HKEY_CURRENT_USER as a fresh scratch key, so the user's own entries
// stay out of reach and nothing is left behind.
class ShellRegistry : public testing::Test {
protected:
    void SetUp() override
    {
        lw::reg::DeleteKeyTree(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(m_scratch.Create(HKEY_CURRENT_USER, kScratch), ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_scratch.Handle()), ERROR_SUCCESS);
    }
    void TearDown() override
    {
        lw::reg::SetFaultHook(nullptr, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        m_scratch.Close();
        lw::reg::DeleteKeyTree(HKEY_CURRENT_USER, kScratch);
    }

    lw::reg::TRegKey m_scratch;
};

struct TValue {
    DWORD type = 0;
    std::string bytes; // as stored, terminator included
};

// The default value of HKCU\path read back with the plain registry calls.
std::optional<TValue> DefaultValue(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    TValue value;
    char data[1024];
    DWORD size = sizeof data;
    const LONG rc = RegQueryValueExA(key, nullptr, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return TValue{};
    value.bytes.assign(data, size);
    return value;
}

bool Exists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetDefault(const std::string& path, const std::string& text)
{
    lw::reg::TRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    key.WriteString("", text);
}

struct TExpected {
    const char* key;
    std::string value;
};

const std::vector<TExpected> kInstalled = {
    {"software\\classes\\*\\shell\\Lockwell", "Run Lockwell"},
    {"software\\classes\\*\\shell\\Lockwell\\command", "\"C:\\Tools\\app.exe\" \"%1\""},
    {"software\\classes\\.fe2", "Lockwell encrypted file"},
    {"software\\classes\\.fez", "Lockwell encrypted file"},
    {"software\\classes\\Lockwell encrypted file", "Lockwell encrypted file"},
    {"software\\classes\\Lockwell encrypted file\\DefaultIcon", "C:\\Tools\\app.exe,0"},
    {"software\\classes\\Lockwell encrypted file\\shell\\open\\command", "\"C:\\Tools\\app.exe\" \"%1\""},
};

void ExpectRow(const TExpected& row)
{
    const auto value = DefaultValue(row.key);
    ASSERT_TRUE(value) << row.key << " missing";
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << row.key;
    EXPECT_EQ(value->bytes, row.value + '\0') << row.key;
}

TEST_F(ShellRegistry, InstallWritesTheSevenRowsAsPlainStrings)
{
    lw::InstallShellEntries(kProgram);
    for (const auto& row : kInstalled)
        ExpectRow(row);
    EXPECT_FALSE(Exists("software\\classes\\Lockwell encrypted file\\shell\\open\\command\\x"));
}

// Installed means the marker with this copy's command: a second Yes changes nothing, while
// a copy that was moved (or another one) writes every row anew for itself.
TEST_F(ShellRegistry, TheMarkerWithThisCopysCommandDecidesWhetherToInstall)
{
    lw::InstallShellEntries(kProgram);
    SetDefault("software\\classes\\.fe2", "Another program's type");
    lw::reg::DeleteKeyTree(HKEY_CURRENT_USER, "software\\classes\\.fez");

    lw::InstallShellEntries(kProgram);
    EXPECT_EQ(DefaultValue("software\\classes\\.fe2")->bytes, std::string("Another program's type") + '\0');
    EXPECT_FALSE(Exists("software\\classes\\.fez")) << "installed already: nothing written";

    lw::InstallShellEntries("D:\\Moved\\app.exe");
    EXPECT_EQ(DefaultValue("software\\classes\\*\\shell\\Lockwell\\command")->bytes,
              std::string("\"D:\\Moved\\app.exe\" \"%1\"") + '\0');
    EXPECT_EQ(DefaultValue("software\\classes\\.fez")->bytes, std::string("Lockwell encrypted file") + '\0');
    lw::InstallShellEntries(kProgram);
    for (const auto& row : kInstalled)
        ExpectRow(row);
}

TEST_F(ShellRegistry, KeyThatCannotBeCreatedIsSkipped)
{
    // A volatile parent refuses lasting children: rows 6 and 7 cannot be created.
    SetDefault("software\\classes", "");
    HKEY volatileKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\classes\\Lockwell encrypted file", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileKey);

    EXPECT_NO_THROW(lw::InstallShellEntries(kProgram));
    for (std::size_t i = 0; i < 5; ++i)
        ExpectRow(kInstalled[i]);
    EXPECT_FALSE(Exists(kInstalled[5].key));
    EXPECT_FALSE(Exists(kInstalled[6].key));
}

LONG FailThirdWrite(lw::reg::TRegOp op, void* context)
{
    int& writes = *static_cast<int*>(context);
    return op == lw::reg::TRegOp::SetValue && ++writes == 3 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

TEST_F(ShellRegistry, ValueThatCannotBeWrittenEndsTheRun)
{
    int writes = 0;
    lw::reg::SetFaultHook(&FailThirdWrite, &writes);
    try {
        lw::InstallShellEntries(kProgram);
        FAIL() << "no failure raised";
    } catch (const lw::Exception& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for ''");
        EXPECT_STREQ(e.what(), lw::kShellEntryWriteError);
    }
    ExpectRow(kInstalled[0]);
    ExpectRow(kInstalled[1]);
    EXPECT_EQ(DefaultValue(kInstalled[2].key)->bytes, "") << "the key was made, its value not";
    for (std::size_t i = 3; i < kInstalled.size(); ++i)
        EXPECT_FALSE(Exists(kInstalled[i].key)) << kInstalled[i].key;
}

TEST_F(ShellRegistry, RemoveTakesTheFourKeysWholeAndNothingElse)
{
    lw::InstallShellEntries(kProgram);
    // Another program has since used the extensions and added keys of its own below ours.
    SetDefault("software\\classes\\.fe2", "Other");
    for (int i = 0; i < 40; ++i)
        SetDefault("software\\classes\\.fez\\sub" + std::to_string(i) + "\\deeper\\deepest", "x");
    SetDefault("software\\classes\\.txt", "txtfile");
    SetDefault("software\\classes\\*\\shell\\OtherVerb", "Other verb");
    SetDefault("software\\classes\\Lockwell encrypted file2", "neighbour");

    lw::RemoveShellEntries();
    for (const auto& row : kInstalled)
        EXPECT_FALSE(Exists(row.key)) << row.key;
    EXPECT_TRUE(Exists("software\\classes\\.txt"));
    EXPECT_TRUE(Exists("software\\classes\\*\\shell\\OtherVerb"));
    EXPECT_TRUE(Exists("software\\classes\\Lockwell encrypted file2"));
}

TEST_F(ShellRegistry, RemoveFromAnyStateRaisesNothing)
{
    EXPECT_NO_THROW(lw::RemoveShellEntries());
    EXPECT_FALSE(Exists("software\\classes"));
    SetDefault("software\\classes\\.fez", "only this one");
    EXPECT_NO_THROW(lw::RemoveShellEntries());
    EXPECT_FALSE(Exists("software\\classes\\.fez"));
    EXPECT_TRUE(Exists("software\\classes"));
}

} // namespace
