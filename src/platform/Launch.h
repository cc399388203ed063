// Launching: starting another program as a child process that the caller
// waits for, or through the shell, which also opens documents and web
// addresses with the program registered for them. Nothing here raises or
// shows anything: a failed system call is only a false result.
//
// The command line and the working directory are built by LaunchCommandFor,
// portable; the routines that start anything exist in the Win32 build only.
#pragma once

#include <string>

#include "runtime/Basic.h"

// The text without the characters of code 32 and below at both ends.
std::string TrimControls(const std::string& text);
// The trimmed text, put in double quotes when it holds a blank and is not
// already enclosed in them.
std::string QuoteIfSpaces(const std::string& text);
// Drops a final backslash unless the path is one character long or the
// backslash follows a colon: C:\App\ gives C:\App; C:\ and \ stay.
std::string StripBackslash(const std::string& path);

struct LaunchCommand {
  std::string CommandLine;  // the possibly quoted file, a blank, the parameters; trimmed
  std::string WorkDir;      // empty: the new process inherits the caller's
};
// With an empty workDir the folder part of the file (up to its last
// backslash or colon, read from the file without its enclosing quotes)
// through StripBackslash; a given workDir is kept as it is.
LaunchCommand LaunchCommandFor(const std::string& file, const std::string& params,
                               const std::string& workDir);
// SW_MINIMIZE (6) when minimised, else SW_SHOW (5).
int32_t LaunchShowState(Bool32 minimised);

// Win32 build only.
// With wait set RunAndWait, else ShellOpen.
Bool32 RunProgram(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised, Bool32 wait);
// CreateProcessA with LaunchCommandFor's command line and folder, then waits
// without a time limit for the process to end. False at once when the
// process cannot be created; the exit code is not read.
Bool32 RunAndWait(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised);
// ShellExecuteA with the default verb, owned by the foreground window (the
// desktop when there is none); true when the shell took the request. Does
// not wait.
Bool32 ShellOpen(const std::string& file, const std::string& params, const std::string& workDir,
                 Bool32 minimised);
// Opens a file or an address through the shell; the result is not reported.
void OpenDocument(const std::string& file);
