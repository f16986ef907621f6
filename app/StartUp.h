#pragma once
#include <string>
#include <vector>

#include "jobs/AskUser.h"

namespace lw {

inline constexpr const char* kRegistrationQuestion =
    "Select Yes to install Lockwell in\r\nthe Context Menu or No to uninstall";

// What the arguments after the program name ask for. Only the first counts: none asks
// the desktop-entry question, exactly "--help" or "--version" prints and ends, anything
// else is the file for the window (a file named "--help" is reached as "./--help").
enum class TStartAction { Registration, Window, Help, Version };
TStartAction StartActionFor(const std::vector<std::string>& args);

// What --help prints.
extern const char* const kStartUsage;

// The window's file with the current folder in front when it is relative, so that the
// window, its jobs and hand-offs all see where it is; an empty argument stays empty.
std::string WindowFilePath(const std::string& arg);

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
