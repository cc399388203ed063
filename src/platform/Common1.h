// Common1: the product's settings in the registry, under SettingsKey: the
// installation folder (HKEY_LOCAL_MACHINE only, read only) and the frame
// delay (1 to 40, default 17), the user's own under HKEY_CURRENT_USER before
// the machine's under HKEY_LOCAL_MACHINE. The key and the delay's range are
// portable; the accessors that read and write the registry are in
// Common1Win32.h.
#pragma once

#include <cstdint>

// The same path below both roots; the leading backslash makes it absolute
// from the root key.
inline constexpr char SettingsKey[] = "\\Software\\Spiralux\\1.0";
constexpr int32_t FrameDelayDefault = 17;
constexpr int32_t FrameDelayMin = 1;
constexpr int32_t FrameDelayMax = 40;
