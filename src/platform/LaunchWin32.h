// Launching through the system: a child process that the caller waits for,
// or the shell, which also opens documents and web addresses with the
// program registered for them. Win32 only (LaunchWin32.cpp); the command
// line and the working directory come from LaunchCommandFor of Launch.h.
// Nothing here raises or shows anything: a failed system call is only a
// false result.
#pragma once

#include <string>

#include "runtime/Basic.h"

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
