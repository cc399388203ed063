// Launching through the system: a child process that the caller waits for,
// or the shell, which also opens documents and web addresses with the
// program registered for them. Win32 only (LaunchWin32.cpp); the command
// line and the working directory come from LaunchCommandFor of Launch.h.
// Every string is UTF-8 and reaches the system through its wide (W) calls,
// so a program in a folder of any name starts. Nothing here raises or shows
// anything: a failed system call is only a false result.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/Basic.h"

// With wait set RunAndWait, else ShellOpen.
Bool32 RunProgram(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised, Bool32 wait);
// CreateProcessW with LaunchCommandFor's command line and folder, then waits
// without a time limit for the process to end. The process runs in a job of
// the caller's that ends it, and whatever it started, when the caller ends,
// however it ends (TerminateProcess included), or when the wait is over. The
// job is not inherited; where the system refuses a job the process runs
// without one. False at once when the process cannot be created; the exit
// code is not read.
Bool32 RunAndWait(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised);
// Starts file as RunAndWait does, but in no job, and returns at once with
// the new process's handle, which the caller owns (close it with CloseHandle
// or EndProcessWithin); null when the process cannot be created.
HANDLE LaunchProcess(const std::string& file, const std::string& params, const std::string& workDir,
                     Bool32 minimised);
// Gives the process up to timeoutMs to end, ends it (exit code 1) when it
// has not, and closes the handle, which becomes null. A null handle is
// accepted.
void EndProcessWithin(HANDLE& process, DWORD timeoutMs);
// ShellExecuteW with the default verb, owned by the foreground window (the
// desktop when there is none); true when the shell took the request. Does
// not wait.
Bool32 ShellOpen(const std::string& file, const std::string& params, const std::string& workDir,
                 Bool32 minimised);
// Opens a file or an address through the shell; the result is not reported.
void OpenDocument(const std::string& file);
