// Parent: whether the player was started by a screen saver. Windows starts
// a screen saver (a program whose file name ends in .scr, Spiralux.scr under
// whatever name it was installed) and the saver starts the player; the
// player then lives no longer than its saver. A player started in any other
// way (from the desktop, a shell, a script) plays on its own.
#pragma once

#include <string>

// True when the program file imagePath (a file name, or a path whose folders
// are separated by \ or /) is a screen saver: a name of at least one
// character before a ".scr" extension, in any case.
bool ParentIsScreenSaver(const std::string& imagePath);
