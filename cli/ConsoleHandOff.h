#pragma once
#include "jobs/HandOff.h"

namespace lw::cli {

// The command-line tool offers no clipboard, mail or open options, so nothing is handed on.
class TConsoleHandOff final : public IHandOff {
public:
    void PutFileOnClipboard(const std::string&) override {}
    bool SendFileToMailClient(const std::string&) override { return false; }
    void OpenWithAssociatedApp(const std::string&) override {}
    void ProcessPendingEvents() override {}
};

} // namespace lw::cli
