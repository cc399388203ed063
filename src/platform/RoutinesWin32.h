// The small routines that ask the system: whether a folder exists, the
// error box, and the conversion of the program's UTF-8 text to and from the
// UTF-16 of the system's wide calls. Win32 only (RoutinesWin32.cpp); the
// portable ones are in Routines.h.
#pragma once

#include <string>

#include "runtime/Basic.h"

// The UTF-16 form of UTF-8 text; a byte that is not part of valid UTF-8
// becomes U+FFFD. Strings inside the program are UTF-8; the system is called
// through its wide (W) routines with this form, so that a name outside the
// system's ANSI code page (Greek, Japanese) comes through unchanged.
std::wstring WideOf(const std::string& utf8);
// The UTF-8 form of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf8Of(const std::wstring& utf16);

// True exactly when the path (UTF-8) exists and is a directory; a trailing
// backslash is accepted, a file, a missing path and an empty path give false.
Bool32 DirExists(const std::string& path);
// A modal box with text (UTF-8), the caption AppTitle(), an OK button and
// the error icon; the program's other windows are disabled while it is shown
// and the window active before is activated again. Returns when the box is
// closed.
void ErrorBox(const std::string& text);
