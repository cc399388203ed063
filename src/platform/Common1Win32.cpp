// Common1: the settings in the registry.
#include "platform/Common1Win32.h"

#include "platform/RegWrapWin32.h"
#include "platform/Routines.h"

namespace {

const char* const FrameDelayName = "FrameDelay";

// FrameDelay of root's settings key, def when the key or the value is missing.
int32_t ReadDelay(HKEY root, Bool32 create, int32_t def) {
  int32_t delay = def;
  QregWrap* reg = RegWrapCreate(root);
  if (reg && RegWrapOpenKey(reg, SettingsKey, create))
    delay = RegWrapReadInteger(reg, FrameDelayName, def);
  RegWrapFree(reg);
  return delay;
}

enum class Stored { Written, NoKey, Refused };

// Writes FrameDelay into root's settings key; NoKey when the key is missing
// and create is false.
Stored WriteDelay(HKEY root, Bool32 create, int32_t value) {
  QregWrap* reg = RegWrapCreate(root);
  if (!reg) return Stored::Refused;
  Stored result = Stored::NoKey;
  if (RegWrapOpenKey(reg, SettingsKey, create))
    result = RegWrapWriteInteger(reg, FrameDelayName, value) ? Stored::Written : Stored::Refused;
  RegWrapFree(reg);
  return result;
}

}  // namespace

std::string GetInstFolder() {
  return AddBackslash(RegWrapGetString(HKEY_LOCAL_MACHINE, SettingsKey, "InstFolder", ""));
}

int32_t GetFrameDelay() {
  int32_t machine = ReadDelay(HKEY_LOCAL_MACHINE, True32, FrameDelayDefault);
  return Clamp(ReadDelay(HKEY_CURRENT_USER, False32, machine), FrameDelayMin, FrameDelayMax);
}

Bool32 SetFrameDelay(int32_t value) {
  if (WriteDelay(HKEY_LOCAL_MACHINE, True32, value) == Stored::Written)
    return WriteDelay(HKEY_CURRENT_USER, False32, value) != Stored::Refused ? True32 : False32;
  return WriteDelay(HKEY_CURRENT_USER, True32, value) == Stored::Written ? True32 : False32;
}
