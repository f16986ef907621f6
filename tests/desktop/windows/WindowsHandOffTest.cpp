#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <windows.h>

#include "desktop/windows/MapiSetup.h"
#include "desktop/windows/WindowsHandOff.h"

namespace {

struct TBox {
    lw::TMsgDlgType kind;
    std::string text;
    lw::TMsgDlgButtons buttons;
};

class RecordingAsk : public lw::IAskUser {
public:
    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType kind, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        boxes.push_back({kind, text, buttons});
        return lw::mbOK;
    }
    lw::TMsgDlgBtn AskUserWithDetail(lw::TMsgDlgType kind, const std::string& text, const std::string& detail,
                                     lw::TMsgDlgButtons buttons) override
    {
        details.push_back(detail);
        return AskUser(kind, text, buttons);
    }
    std::vector<TBox> boxes;
    std::vector<std::string> details;
};

void ExpectMailFailureBox(const TBox& box)
{
    EXPECT_EQ(box.kind, lw::TMsgDlgType::mtError);
    EXPECT_EQ(box.text, "Failed to send to EMail client");
    EXPECT_EQ(box.buttons, lw::mbOK);
}

TEST(WindowsHandOff, MailWithoutSimpleMapiShowsTheBoxOnEverySend)
{
    for (const char* value : {"0", "11"}) {
        TMapiSetup setup;
        setup.SetMapiValue(std::string(value) + '\0');
        RecordingAsk ask;
        lw::TWindowsHandOff handOff(ask, nullptr);
        EXPECT_FALSE(handOff.SendFileToMailClient("C:\\out.fe2"));
        EXPECT_FALSE(handOff.SendFileToMailClient("C:\\out2.fe2"));
        ASSERT_EQ(ask.boxes.size(), 2u) << value;
        ExpectMailFailureBox(ask.boxes[0]);
        ExpectMailFailureBox(ask.boxes[1]);
        EXPECT_EQ(ask.details[1], "Simple MAPI is not set up: no mail program takes files from other programs");
    }
}

TEST(WindowsHandOff, MailRefusedByTheLibraryShowsTheBox)
{
    // Wine's own library is there but has no mail client behind it.
    TMapiSetup setup;
    setup.SetMapiValue(std::string("1\0", 2));
    RecordingAsk ask;
    lw::TWindowsHandOff handOff(ask, nullptr);
    EXPECT_FALSE(handOff.SendFileToMailClient("C:\\out.fe2"));
    ASSERT_EQ(ask.boxes.size(), 1u);
    ExpectMailFailureBox(ask.boxes[0]);
    EXPECT_EQ(ask.details,
              std::vector<std::string>{"the mail library cannot send files: no mail program is set up for it"});
    EXPECT_NE(GetModuleHandleA("MAPI32.DLL"), nullptr) << "the library stays loaded for the run";
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
        ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(WindowsHandOff, MailHandlesPendingMessagesAfterTheCall)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LockwellHandOffTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "LockwellHandOffTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    int handled = 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));
    PostMessageA(window, WM_APP, 0, 0);
    PostMessageA(window, WM_APP, 0, 0);

    TMapiSetup setup;
    RecordingAsk ask;
    lw::TWindowsHandOff handOff(ask, window);
    EXPECT_FALSE(handOff.SendFileToMailClient("C:\\out.fe2"));
    EXPECT_EQ(handled, 2);
    DestroyWindow(window);
}

TEST(WindowsHandOff, QuitMessageIsLeftForTheWindowsLoop)
{
    PostQuitMessage(5);
    RecordingAsk ask;
    lw::TWindowsHandOff handOff(ask, nullptr);
    handOff.ProcessPendingEvents();
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 5u);
}

TEST(WindowsHandOff, ClipboardGetsTheFileDrop)
{
    RecordingAsk ask;
    lw::TWindowsHandOff handOff(ask, nullptr);
    handOff.PutFileOnClipboard("C:\\Temp\\out.fe2");
    ASSERT_TRUE(OpenClipboard(nullptr));
    auto* drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    char name[MAX_PATH] = {};
    const UINT length = drop ? DragQueryFileA(drop, 0, name, MAX_PATH) : 0;
    CloseClipboard();
    EXPECT_EQ(std::string(name, length), "C:\\Temp\\out.fe2");
    EXPECT_TRUE(ask.boxes.empty());
}

#ifdef LOCKWELL_FAKE_MAPI_DIR
TEST(WindowsHandOff, MailTakenShowsNoBox)
{
    TMapiSetup setup;
    setup.SetMapiValue(std::string("1\0", 2));
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    TFakeMapi fake(FakeMapiFolder(), std::string(temp) + "lockwell-handoff-mapi.log");
    fake.Answer(0);
    RecordingAsk ask;
    lw::TWindowsHandOff handOff(ask, nullptr);
    EXPECT_TRUE(handOff.SendFileToMailClient("C:\\out.fe2"));
    EXPECT_TRUE(ask.boxes.empty());
    fake.Answer(2);
    EXPECT_FALSE(handOff.SendFileToMailClient("C:\\out.fe2"));
    ASSERT_EQ(ask.boxes.size(), 1u);
    ExpectMailFailureBox(ask.boxes[0]);
}
#endif

} // namespace
