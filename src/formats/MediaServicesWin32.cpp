// Start-up and shut-down of the platform media services.
#include "formats/MediaServicesWin32.h"

#include <windows.h>
#include <objbase.h>
#include <vfw.h>

void MediaStartup() {
  CoInitialize(nullptr);
  AVIFileInit();
}

void MediaShutdown() {
  AVIFileExit();
  CoUninitialize();
}
