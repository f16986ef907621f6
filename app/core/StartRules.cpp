#include "app/core/StartRules.h"

#include <exception>

#include "platform/AbsolutePath.h"
#include "platform/Path.h"

namespace lw {

std::string WindowFilePath(const std::string& arg)
{
    return arg.empty() ? arg : path::AbsolutePath(arg);
}

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

int RunRegistration(IAskUser& ask, const TRegistrationSteps& steps)
{
    try {
        switch (AskRegistration(ask)) {
        case TRegistrationChoice::Install: steps.Install(); break;
        case TRegistrationChoice::Remove: steps.Remove(); break;
        case TRegistrationChoice::Nothing: break;
        }
        return 0;
    } catch (const std::exception& e) {
        steps.ShowFatalError(e.what());
    } catch (...) {
        steps.ShowFatalError("Unknown failure");
    }
    return 1;
}

} // namespace lw
