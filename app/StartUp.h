#pragma once
#include <string>

#include "jobs/AskUser.h"

namespace lw {

inline constexpr const char* kRegistrationQuestion =
    "Select Yes to install Lockwell in\r\nthe Context Menu or No to uninstall";

// Decrypt mode: the path's extension, with A to Z lower-cased, contains ".fe".
bool IsDecryptPath(const std::string& path);

enum class TRegistrationChoice { Install, Remove, Nothing };
// The one question of a run without a file.
TRegistrationChoice AskRegistration(IAskUser& ask);

// The whole run without a file: asks, installs or removes the desktop entries (for the
// program at programPath; empty means the running executable) and returns the exit
// status. A failure ends in the "Application Error" box and status 1.
int RunRegistration(IAskUser& ask, const std::string& programPath = {});

} // namespace lw
