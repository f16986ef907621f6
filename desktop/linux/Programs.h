#pragma once
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// Starting the desktop's helper programs: argv as given, never through a shell.
namespace lw {

// The first executable regular file called name in the folders of PATH, or empty.
// Empty PATH entries (the current folder) are not searched.
std::string FindProgramOnPath(const std::string& name);

// An inherited "ignore SIGCHLD" would reap a child behind our back and hide its status.
void KeepChildStatus();

// Starts program with args (args[0] included) on /dev/null for input and output, and
// for errors too when quietErrors; signals as a fresh program has them. The pid, or -1.
pid_t SpawnQuiet(const std::string& program, std::vector<std::string> args, bool quietErrors = false);

// Runs program quietly to its end, killing it after limit; false when it could not start.
bool RunQuietly(const std::string& program, std::vector<std::string> args, std::chrono::milliseconds limit);

} // namespace lw
