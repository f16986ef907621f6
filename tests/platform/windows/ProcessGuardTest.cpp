#include <gtest/gtest.h>

#include <vector>
#include <windows.h>

#include <aclapi.h>

#include "platform/ProcessGuard.h"

namespace {

// This test program hardens itself before any test, as each program does first thing.
const bool kHardened = (lw::HardenProcess(), true);

std::vector<BYTE> UserOfThisProcess()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    GetTokenInformation(token, ::TokenUser, user.data(), size, &size);
    CloseHandle(token);
    return user;
}

} // namespace

// Read back from the system: one entry, for the user, that lets another process wait for
// this one, ask its name and end it, and nothing that reads its memory or writes a dump.
TEST(HardenedProcess, OtherProcessesOfTheUserMayOnlyWaitAskAndEnd)
{
    ASSERT_TRUE(kHardened);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1u);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE));
    const std::vector<BYTE> user = UserOfThisProcess();
    EXPECT_TRUE(EqualSid(&ace->SidStart, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid));
    LocalFree(descriptor);
}
