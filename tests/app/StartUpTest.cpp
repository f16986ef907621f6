#include "app/StartUp.h"

#include <gtest/gtest.h>

#include "jobs/JobDoubles.h"

namespace {

TEST(StartUp, ModeFollowsTheExtension)
{
    const struct {
        const char* path;
        bool decrypt;
    } cases[] = {
        {"/home/ann/report.FEZ", true},  {"/tmp/archive.fe2", true},   {"/tmp/x.fe", true},
        {"/tmp/notes.feather", true},    {"/tmp/a.Fe2", true},         {"relative.fez", true},
        {"/tmp/x.f2e", false},           {"/tmp/readme", false},       {"/tmp/name.", false},
        {"/tmp/data.fez/file", false},   {"/tmp/x.txt", false},        {"/tmp/x.fez.txt", false},
        {"/tmp/.fe", true},              {"", false},                  {"/tmp/x.ƑE2", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lw::IsDecryptPath(c.path), c.decrypt) << c.path;
}

TEST(StartUp, RegistrationQuestionMapsTheAnswers)
{
    const struct {
        lw::TMsgDlgBtn answer;
        lw::TRegistrationChoice choice;
    } cases[] = {
        {lw::mbYes, lw::TRegistrationChoice::Install},
        {lw::mbNo, lw::TRegistrationChoice::Remove},
        {lw::mbIgnore, lw::TRegistrationChoice::Nothing},
        {lw::mbCancel, lw::TRegistrationChoice::Nothing}, // the close box
    };
    for (const auto& c : cases) {
        lwtest::ScriptedAsk ask({c.answer});
        EXPECT_EQ(lw::AskRegistration(ask), c.choice);
        ASSERT_EQ(ask.boxes.size(), 1u);
        EXPECT_EQ(ask.boxes[0], (lwtest::Box{lw::TMsgDlgType::mtConfirmation,
                                             "Select Yes to install Lockwell in\r\nthe Context Menu or No to uninstall",
                                             lw::mbYes | lw::mbNo | lw::mbIgnore}));
    }
}

} // namespace
