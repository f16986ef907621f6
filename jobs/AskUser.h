#pragma once
#include <cstdint>
#include <string>

namespace lw {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

enum TMsgDlgBtn : uint8_t { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbIgnore = 16 };
using TMsgDlgButtons = uint8_t; // a set of TMsgDlgBtn bits

// The one modal message box. The window, the command-line tool and the tests each
// supply their own. Returns the button chosen; closing the box answers mbCancel.
class IAskUser {
public:
    virtual ~IAskUser() = default;
    virtual TMsgDlgBtn AskUser(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) = 0;
    // The same box with another default button (Enter), for questions whose safe answer
    // is No. Escape still answers Cancel, else No, else OK. Boxes that cannot show a
    // default ask as AskUser does.
    virtual TMsgDlgBtn AskUserWithDefault(TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons,
                                          TMsgDlgBtn defaultButton)
    {
        (void)defaultButton;
        return AskUser(kind, text, buttons);
    }
    // The same box with the underlying reason shown below its text. Boxes that cannot
    // show one ask as AskUser does.
    virtual TMsgDlgBtn AskUserWithDetail(TMsgDlgType kind, const std::string& text, const std::string& detail,
                                         TMsgDlgButtons buttons)
    {
        (void)detail;
        return AskUser(kind, text, buttons);
    }
};

} // namespace lw
