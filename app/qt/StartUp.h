#pragma once
#include <string>
#include <vector>

#include "app/core/StartRules.h"
#include "jobs/AskUser.h"

namespace lw {

// What the arguments after the program name ask for. Only the first counts: none asks
// the desktop-entry question, exactly "--help" or "--version" prints and ends, anything
// else is the file for the window (a file named "--help" is reached as "./--help").
enum class TStartAction { Registration, Window, Help, Version };
TStartAction StartActionFor(const std::vector<std::string>& args);

// What --help prints.
extern const char* const kStartUsage;

// The run without a file on this desktop: the desktop entries for the program at
// programPath (empty means the running executable).
int RunRegistration(IAskUser& ask, const std::string& programPath = {});

} // namespace lw
