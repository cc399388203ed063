// Launching, the portable part: the command line and the working directory
// of a program to start, and the window state it starts in. The routines
// that start anything are in LaunchWin32.h.
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
