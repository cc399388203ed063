// The entry point of Spiralux.scr: the whole run is SpiraRunProgram.
#include <windows.h>

#include "saver/SpiraRunWin32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return SpiraRunProgram(GetCommandLineA()); }
