// The small routines that ask the system: whether a folder exists, and the
// error box. Win32 only (RoutinesWin32.cpp); the portable ones are in
// Routines.h.
#pragma once

#include <string>

#include "runtime/Basic.h"

// True exactly when the path exists and is a directory; a trailing backslash
// is accepted, a file, a missing path and an empty path give false.
Bool32 DirExists(const std::string& path);
// A modal box with text, the caption AppTitle(), an OK button and the error
// icon; the program's other windows are disabled while it is shown and the
// window active before is activated again. Returns when the box is closed.
void ErrorBox(const std::string& text);
