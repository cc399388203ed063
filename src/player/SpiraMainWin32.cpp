// SpiraMain: the program entry of the player SpiraMain.exe, the product's
// full-screen spiral. Spiralux.scr starts it in saver mode with no arguments
// from the installation folder and waits for it, and the player ends when
// the saver ends (PlayerRun); it can be started alone as well. Arguments are
// ignored. One copy runs at a time: a second one ends at once. Its first
// step limits the search for libraries to the system folder.
#include <windows.h>

#include "platform/InstanceWin32.h"
#include "player/PlayerWin32.h"
#include "runtime/Errors.h"
#include "runtime/SystemWin32.h"
#include "platform/Common1Win32.h"

namespace {

// One name for every copy, wherever it was started from.
const char* const PlayerInstance = "SpiraMain_Player_Instance";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  UseSystemFolderForLibraries();
  if (InstanceExists(PlayerInstance)) return 0;
  InstanceHandle guard = InstanceCreate(PlayerInstance);
  bool shown = PlayerRun(GetFrameDelay(), 0, nullptr);
  InstanceClose(guard);
  RuntimeShutdown();
  return shown ? 0 : 1;
}
