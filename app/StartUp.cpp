#include "app/StartUp.h"

#include "platform/Path.h"

namespace lw {

bool IsDecryptPath(const std::string& path)
{
    return path::LowerAscii(path::ExtractFileExt(path)).find(".fe") != std::string::npos;
}

TRegistrationChoice AskRegistration(IAskUser& ask)
{
    switch (ask.AskUser(TMsgDlgType::mtConfirmation, kRegistrationQuestion, mbYes | mbNo | mbIgnore)) {
    case mbYes: return TRegistrationChoice::Install;
    case mbNo: return TRegistrationChoice::Remove;
    default: return TRegistrationChoice::Nothing;
    }
}

} // namespace lw
