#pragma once
#include <string>
#include <vector>

#include "jobs/AskUser.h"

// What the modal box shows and answers, apart from drawing it.
namespace lw::win32 {

struct TBoxButton {
    TMsgDlgBtn Button;
    const char* Caption;
};

// The buttons of the set in the order shown: Yes, No, OK, Cancel, Ignore. An empty set
// shows OK alone.
std::vector<TBoxButton> BoxButtons(TMsgDlgButtons buttons);
// Enter: the asked-for default when it is shown, else OK when shown, else Yes, else the first.
TMsgDlgBtn BoxDefault(TMsgDlgButtons buttons, TMsgDlgBtn wanted);
// Escape: Cancel when shown, else No, else OK; the close box always answers Cancel.
TMsgDlgBtn BoxEscapeAnswer(TMsgDlgButtons buttons);
const char* BoxTitle(TMsgDlgType kind);

} // namespace lw::win32
