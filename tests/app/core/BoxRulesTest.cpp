#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/core/BoxRules.h"

namespace lw {
namespace {

struct TBoxCase {
    TMsgDlgButtons Buttons;
    TMsgDlgBtn Wanted;
    std::vector<std::string> Captions;
    TMsgDlgBtn Default;
    std::optional<TMsgDlgBtn> Escape; // none: Escape does nothing
};

const TBoxCase kBoxCases[] = {
    // The sets the program uses.
    {mbOK, mbOK, {"OK"}, mbOK, mbOK},
    {mbOK | mbCancel, mbOK, {"OK", "Cancel"}, mbOK, mbCancel},
    {mbYes | mbNo | mbIgnore, mbOK, {"&Yes", "&No", "&Ignore"}, mbYes, mbNo},
    // A safe default where one is asked for, and only when it is shown.
    {mbYes | mbNo, mbNo, {"&Yes", "&No"}, mbNo, mbNo},
    {mbYes | mbNo, mbCancel, {"&Yes", "&No"}, mbYes, mbNo},
    {mbOK | mbCancel, mbCancel, {"OK", "Cancel"}, mbCancel, mbCancel},
    // The shown order does not follow the bits' order of asking.
    {mbIgnore | mbCancel | mbOK | mbNo | mbYes, mbOK, {"&Yes", "&No", "OK", "Cancel", "&Ignore"}, mbOK, mbCancel},
    {mbNo | mbIgnore, mbOK, {"&No", "&Ignore"}, mbNo, mbNo},
    // Without a safe answer among the buttons, Escape answers nothing.
    {mbYes | mbIgnore, mbOK, {"&Yes", "&Ignore"}, mbYes, std::nullopt},
    {mbIgnore, mbOK, {"&Ignore"}, mbIgnore, std::nullopt},
    // An empty set still gives the user a way out.
    {0, mbOK, {"OK"}, mbOK, mbOK},
};

TEST(BoxRules, ButtonsDefaultAndEscapeAnswer)
{
    for (const TBoxCase& c : kBoxCases) {
        SCOPED_TRACE(testing::Message() << "buttons " << int(c.Buttons) << ", wanted default " << int(c.Wanted));
        std::vector<std::string> captions;
        for (const TBoxButton& b : BoxButtons(c.Buttons))
            captions.push_back(b.Caption);
        EXPECT_EQ(captions, c.Captions);
        EXPECT_EQ(BoxDefault(c.Buttons, c.Wanted), c.Default);
        EXPECT_EQ(BoxEscapeAnswer(c.Buttons), c.Escape);
    }
}

TEST(BoxRules, TitlesByKind)
{
    EXPECT_STREQ(BoxTitle(TMsgDlgType::mtWarning), "Warning");
    EXPECT_STREQ(BoxTitle(TMsgDlgType::mtError), "Error");
    EXPECT_STREQ(BoxTitle(TMsgDlgType::mtInformation), "Information");
    EXPECT_STREQ(BoxTitle(TMsgDlgType::mtConfirmation), "Confirm");
}

} // namespace
} // namespace lw
