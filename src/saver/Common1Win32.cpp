// Common1: the settings, Win32 build.
#include "saver/Common1.h"

#include "platform/RegWrap.h"
#include "platform/Routines.h"

const char* const SettingsKey = "\\Software\\Spiralux\\1.0";

std::string GetInstFolder() {
  return AddBackslash(RegWrapGetString(HKEY_LOCAL_MACHINE, SettingsKey, "InstFolder", ""));
}

int32_t GetFrameDelay() {
  int32_t delay = FrameDelayDefault;
  QregWrap* reg = RegWrapCreate(HKEY_LOCAL_MACHINE);
  if (reg && RegWrapOpenKey(reg, SettingsKey, True32))
    delay = Clamp(RegWrapReadInteger(reg, "FrameDelay", FrameDelayDefault), FrameDelayMin,
                  FrameDelayMax);
  RegWrapFree(reg);
  return delay;
}

void SetFrameDelay(int32_t value) {
  QregWrap* reg = RegWrapCreate(HKEY_LOCAL_MACHINE);
  if (reg && RegWrapOpenKey(reg, SettingsKey, True32)) RegWrapWriteInteger(reg, "FrameDelay", value);
  RegWrapFree(reg);
}
