#include "app/core/BoxRules.h"

namespace lw {
namespace {

constexpr TBoxButton kAll[] = {
    {mbYes, "&Yes"}, {mbNo, "&No"}, {mbOK, "OK"}, {mbCancel, "Cancel"}, {mbIgnore, "&Ignore"},
};

TMsgDlgButtons Shown(TMsgDlgButtons buttons)
{
    const TMsgDlgButtons known = buttons & (mbYes | mbNo | mbOK | mbCancel | mbIgnore);
    return known ? known : TMsgDlgButtons{mbOK};
}

} // namespace

std::vector<TBoxButton> BoxButtons(TMsgDlgButtons buttons)
{
    std::vector<TBoxButton> shown;
    for (const TBoxButton& b : kAll) {
        if (Shown(buttons) & b.Button)
            shown.push_back(b);
    }
    return shown;
}

TMsgDlgBtn BoxDefault(TMsgDlgButtons buttons, TMsgDlgBtn wanted)
{
    const TMsgDlgButtons shown = Shown(buttons);
    for (const TMsgDlgBtn b : {wanted, mbOK, mbYes}) {
        if (shown & b)
            return b;
    }
    return BoxButtons(buttons).front().Button;
}

std::optional<TMsgDlgBtn> BoxEscapeAnswer(TMsgDlgButtons buttons)
{
    const TMsgDlgButtons shown = Shown(buttons);
    for (const TMsgDlgBtn b : {mbCancel, mbNo, mbOK}) {
        if (shown & b)
            return b;
    }
    return std::nullopt;
}

const char* BoxTitle(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning: return "Warning";
    case TMsgDlgType::mtError: return "Error";
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtConfirmation: return "Confirm";
    }
    return "";
}

} // namespace lw
