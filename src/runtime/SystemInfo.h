// The platform facts behind the runtime's reports and its fatal box: memory
// and drive totals, and the modal error box. SystemWin32.cpp answers them
// through Win32, SystemHost.cpp through POSIX for the native build.
#pragma once

#include <cstdint>
#include <string>

struct MemoryStatus {
  uint64_t PhysicalTotal, PhysicalFree;  // bytes
  uint64_t SwapTotal, SwapFree;          // bytes
};

struct DriveStatus {
  uint64_t Total, Free;    // bytes; Free is what the caller may use
  std::string FileSystem;  // at most 128 characters
};

// False when the query fails; the report then skips its lines.
bool QueryMemory(MemoryStatus& status);
// Any part that cannot be had is left 0 or empty.
void QueryDrive(const std::string& path, DriveStatus& status);
// The modal box with the caption "Error" and the error icon, owned by the
// foreground window (the desktop window when there is none).
void ShowFatalBox(const std::string& text);
