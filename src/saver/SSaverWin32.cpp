// The screen-saver framework's system side: creation with the instance
// guard, disposal, SaverRun's platform steps, the default registration.
#include "saver/SSaverWin32.h"

#include <memory>

#include "platform/InstanceWin32.h"

namespace {

HWND__* FindDisplayProperties() { return FindWindowA(nullptr, "Display Properties"); }

}  // namespace

Qssaver* SaverCreate(const std::string& commandLine) {
  InstanceHandle guard = nullptr;
  try {
    std::string name = SaverInstanceName();
    if (InstanceExists(name)) return nullptr;
    guard = InstanceCreate(name);
    std::unique_ptr<Qssaver> saver(new Qssaver{});
    saver->CommandLine = commandLine;
    saver->Guard = guard;
    return saver.release();
  } catch (...) {
    InstanceClose(guard);
    return nullptr;
  }
}

void SaverRun(Qssaver* saver) { SaverDispatch(saver, {FindDisplayProperties, SaverPreview}); }

void SaverFree(Qssaver*& saver) {
  if (!saver) return;
  InstanceClose(saver->Guard);
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
