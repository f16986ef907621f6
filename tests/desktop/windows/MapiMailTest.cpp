#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <windows.h>

#include "desktop/MailClient.h"
#include "desktop/windows/MapiSetup.h"

namespace {

constexpr uint32_t kNotCalled = 1;

std::string TempLog()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "lockwell-fake-mapi-" + std::to_string(GetCurrentProcessId()) + ".log";
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool MailLibraryLoaded()
{
    return GetModuleHandleA("MAPI32.DLL") != nullptr;
}

TEST(WindowsMail, OnlyAMapiValueOfExactlyOneLoadsTheLibrary)
{
    const struct {
        const char* name;
        std::optional<std::string> bytes; // null: the key without the value
        bool enabled;
    } cases[] = {
        {"no value", std::nullopt, false},
        {"1", std::string("1\0", 2), true},
        {"1 stored without its terminator", std::string("1"), true},
        {"0", std::string("0\0", 2), false},
        {"empty", std::string("\0", 1), false},
        {"10", std::string("10\0", 3), false},
        {"1x", std::string("1x\0", 3), false},
        {"1 and a blank", std::string("1 \0", 3), false},
        {"1 in eight bytes", std::string("1\0\0\0\0\0\0\0\0", 9), true},
        {"1 in ten bytes: too long to read", std::string("1\0\0\0\0\0\0\0\0\0", 10), false},
    };
    for (const auto& c : cases) {
        TMapiSetup setup;
        setup.SetMapiValue(c.bytes);
        lw::TMailClient client;
        int pumped = 0;
        const bool sent = client.Send("C:\\out.fe2", [&] { ++pumped; });
        EXPECT_EQ(pumped, 1) << c.name;
        EXPECT_EQ(MailLibraryLoaded(), c.enabled) << c.name;
        // Wine's own library answers without a mail client configured: neither 0 nor
        // the 1 that stands for "not called".
        if (c.enabled)
            EXPECT_NE(client.LastResult(), kNotCalled) << c.name;
        else
            EXPECT_EQ(client.LastResult(), kNotCalled) << c.name;
        EXPECT_EQ(sent, client.LastResult() == 0) << c.name;
    }
    EXPECT_FALSE(MailLibraryLoaded()) << "each client releases the library";
}

TEST(WindowsMail, MissingMessagingKeyMeansNoMail)
{
    TMapiSetup setup; // a machine without the key at all
    lw::TMailClient client;
    EXPECT_FALSE(client.Send("C:\\out.fe2", nullptr));
    EXPECT_EQ(client.LastResult(), kNotCalled);
}

TEST(WindowsMail, SearchRunsOnceForEachClient)
{
    TMapiSetup setup;
    setup.SetMapiValue(std::string("0\0", 2));
    lw::TMailClient client;
    EXPECT_FALSE(client.Send("C:\\a.fe2", nullptr));
    setup.SetMapiValue(std::string("1\0", 2));
    EXPECT_FALSE(client.Send("C:\\b.fe2", nullptr));
    EXPECT_EQ(client.LastResult(), kNotCalled) << "a search that found nothing is not repeated";
    EXPECT_FALSE(MailLibraryLoaded());

    lw::TMailClient fresh;
    fresh.Send("C:\\c.fe2", nullptr);
    EXPECT_NE(fresh.LastResult(), kNotCalled);
}

#ifdef LOCKWELL_FAKE_MAPI_DIR
TEST(WindowsMail, CallsSendDocumentsWithTheFixedArguments)
{
    TMapiSetup setup;
    setup.SetMapiValue(std::string("1\0", 2));
    const std::string log = TempLog();
    TFakeMapi fake(FakeMapiFolder(), log);
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr) << "error " << GetLastError();
    const std::string parent = std::to_string(reinterpret_cast<uintptr_t>(window));
    {
        lw::TMailClient client;
        client.SetOwnerWindow(window);
        fake.Answer(0);
        EXPECT_TRUE(client.Send("C:\\Mail\\a;b.fez", nullptr));
        fake.Answer(3);
        EXPECT_FALSE(client.Send("C:\\Mail\\second.fe2", nullptr));
        EXPECT_EQ(client.LastResult(), 3u);
        // The delimiter ";" splits a path that holds one; the names are empty, not absent.
        EXPECT_EQ(ReadText(log), parent + "|;|C:\\Mail\\a;b.fez||0\n" + parent + "|;|C:\\Mail\\second.fe2||0\n");
    }
    {
        lw::TMailClient windowless;
        fake.Answer(0);
        EXPECT_TRUE(windowless.Send("C:\\x.fe2", nullptr));
        EXPECT_TRUE(ReadText(log).ends_with("\n0|;|C:\\x.fe2||0\n")) << "no window: parent 0";
    }
    DestroyWindow(window);
}

// A MAPI32.DLL beside the program or in the current folder never runs in it; the system's
// own does. The test program starts hardened as the programs do (ProcessGuardTest.cpp).
TEST(WindowsMail, OnlyTheSystemFoldersMailLibraryRuns)
{
    using TPlace = TFakeMapi::TPlace;
    for (TPlace place : {TPlace::BesideProgram, TPlace::CurrentFolder, TPlace::SystemFolder}) {
        SCOPED_TRACE(static_cast<int>(place));
        TMapiSetup setup;
        setup.SetMapiValue(std::string("1\0", 2));
        const std::string log = TempLog();
        TFakeMapi fake(FakeMapiFolder(), log, place);
        {
            lw::TMailClient client;
            fake.Answer(0);
            client.Send("C:\\x.fe2", nullptr);
            // Loaded by name, too, the library comes from the system folder alone.
            const HMODULE byName = LoadLibraryW(L"MAPI32.DLL");
            ASSERT_NE(byName, nullptr);
            wchar_t loaded[MAX_PATH] = {}, system[MAX_PATH] = {};
            const std::wstring from(loaded, GetModuleFileNameW(byName, loaded, MAX_PATH));
            const std::wstring folder(system, GetSystemDirectoryW(system, MAX_PATH));
            EXPECT_EQ(
                CompareStringOrdinal(from.substr(0, from.find_last_of(L'\\')).c_str(), -1, folder.c_str(), -1, TRUE),
                CSTR_EQUAL);
            FreeLibrary(byName);
        }
        EXPECT_EQ(ReadText(log).empty(), place != TPlace::SystemFolder) << ReadText(log);
    }
}
#endif

} // namespace
