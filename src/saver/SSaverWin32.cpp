// The screen-saver framework's system side: creation with the instance
// guard, disposal, SaverRun's platform steps, the default registration.
#include <windows.h>

#include "platform/Instance.h"
#include "saver/SSaver.h"

namespace {

InstanceHandle instanceGuard = nullptr;

HWND__* FindDisplayProperties() { return FindWindowA(nullptr, "Display Properties"); }

}  // namespace

Qssaver* SaverCreate(const std::string& commandLine) {
  try {
    std::string name = SaverInstanceName();
    if (InstanceExists(name)) return nullptr;
    instanceGuard = InstanceCreate(name);
    Qssaver* saver = new Qssaver{};
    saver->CommandLine = commandLine;
    return saver;
  } catch (...) {
    return nullptr;
  }
}

void SaverRun(Qssaver* saver) { SaverDispatch(saver, {FindDisplayProperties, SaverPreview}); }

void SaverFree(Qssaver*& saver) {
  InstanceClose(instanceGuard);
  instanceGuard = nullptr;
  delete saver;
  saver = nullptr;
}

void SaverMakeDefault(const std::string& path) {
  char shortPath[260];
  DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  // Without the short form there is nothing sound to write.
  if (n > 0 && n < sizeof shortPath)
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", shortPath, "system.ini");
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, SPIF_UPDATEINIFILE);
}
