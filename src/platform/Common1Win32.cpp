// Common1: the settings in the registry.
#include "platform/Common1Win32.h"

#include "platform/RegWrapWin32.h"
#include "platform/Routines.h"

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
