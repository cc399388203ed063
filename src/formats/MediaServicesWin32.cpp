// Start-up and shut-down of the platform media services, Win32 build.
#include <windows.h>
#include <objbase.h>
#include <vfw.h>

#include "formats/FormatCatalog.h"

void MediaStartup() {
  CoInitialize(nullptr);
  AVIFileInit();
}

void MediaShutdown() {
  AVIFileExit();
  CoUninitialize();
}
