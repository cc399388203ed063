// Start-up and shut-down of the platform media services.
#include "formats/MediaServicesWin32.h"

#include <windows.h>
#include <objbase.h>

#include "runtime/SystemWin32.h"

namespace {

// avifil32.dll is no KnownDLL: imported at load time it would be looked for
// beside the program first. It is loaded from the system folder instead and
// held from start-up to shut-down.
HMODULE aviFile = nullptr;

using AviCall = void(WINAPI*)();

}  // namespace

void MediaStartup() {
  CoInitialize(nullptr);
  aviFile = LoadSystemLibrary(L"avifil32.dll");
  if (AviCall init = SystemRoutine<AviCall>(aviFile, "AVIFileInit")) init();
}

void MediaShutdown() {
  if (AviCall done = SystemRoutine<AviCall>(aviFile, "AVIFileExit")) done();
  if (aviFile) FreeLibrary(aviFile);
  aviFile = nullptr;
  CoUninitialize();
}
