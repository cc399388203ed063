// The entry point of Spiralux.scr: libraries only from the system folder,
// then the whole run is SpiraRunProgram.
#include <windows.h>

#include "runtime/SystemWin32.h"
#include "saver/SpiraRunWin32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  UseSystemFolderForLibraries();
  return SpiraRunProgram(GetCommandLineA());
}
