#pragma once
#include <optional>
#include <vector>

#include "jobs/AskUser.h"

// What the message box shows and answers, apart from drawing it: the same in every face.
namespace lw {

struct TBoxButton {
    TMsgDlgBtn Button;
    const char* Caption; // '&' marks the letter that answers
};

// The buttons of the set in the order shown: Yes, No, OK, Cancel, Ignore. An empty set
// shows OK alone.
std::vector<TBoxButton> BoxButtons(TMsgDlgButtons buttons);
// Enter: the asked-for default when it is shown, else OK when shown, else Yes, else the first.
TMsgDlgBtn BoxDefault(TMsgDlgButtons buttons, TMsgDlgBtn wanted);
// Escape: Cancel when shown, else No, else OK; nothing when none of them is shown, as a
// question without a safe answer must be answered. The close box always answers Cancel.
std::optional<TMsgDlgBtn> BoxEscapeAnswer(TMsgDlgButtons buttons);
const char* BoxTitle(TMsgDlgType kind);

} // namespace lw
