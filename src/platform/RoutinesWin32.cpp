// DirExists and ErrorBox.
#include <windows.h>

#include "platform/Routines.h"
#include "platform/RoutinesWin32.h"

Bool32 DirExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) ? True32 : False32;
}

void ErrorBox(const std::string& text) {
  HWND previous = GetActiveWindow();
  // MB_TASKMODAL without an owner disables every top-level window of the
  // thread while the box is up, and enables them again afterwards.
  MessageBoxA(nullptr, text.c_str(), AppTitle().c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
  if (previous && IsWindow(previous)) SetActiveWindow(previous);
}
