#pragma once
#include <functional>
#include <string>

#include "jobs/AskUser.h"

// How a run of the window program starts, the same in every face.
namespace lw {

inline constexpr const char* kRegistrationQuestion =
    "Select Yes to install Lockwell in\r\nthe Context Menu or No to uninstall";

// The window's file with the current folder in front when it is relative, so that the
// window, its jobs and hand-offs all see where it is; an empty argument stays empty.
std::string WindowFilePath(const std::string& arg);

// Decrypt mode: the path's extension, with A to Z lower-cased, contains ".fe".
bool IsDecryptPath(const std::string& path);

enum class TRegistrationChoice { Install, Remove, Nothing };
// The one question of a run without a file.
TRegistrationChoice AskRegistration(IAskUser& ask);

// What a face does for the answer: the entries of its system, and its box for a failure.
struct TRegistrationSteps {
    std::function<void()> Install;
    std::function<void()> Remove;
    std::function<void(const std::string& reason)> ShowFatalError;
};
// The whole run without a file: asks, installs or removes, and returns the exit status.
// A failure ends in the face's "Application Error" box and status 1.
int RunRegistration(IAskUser& ask, const TRegistrationSteps& steps);

} // namespace lw
