#include "app/StartUp.h"

#include <exception>

#include "app/ErrorBox.h"
#include "app/ShellEntries.h"
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

int RunRegistration(IAskUser& ask, const std::string& programPath)
{
    try {
        switch (AskRegistration(ask)) {
        case TRegistrationChoice::Install:
            if (programPath.empty())
                InstallShellEntries();
            else
                InstallShellEntries(programPath);
            break;
        case TRegistrationChoice::Remove: RemoveShellEntries(); break;
        case TRegistrationChoice::Nothing: break;
        }
        return 0;
    } catch (const std::exception& e) {
        ShowFatalError(e.what());
    } catch (...) {
        ShowFatalError("Unknown failure");
    }
    return 1;
}

} // namespace lw
