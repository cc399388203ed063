// The platform facts behind the runtime's reports and its fatal box: memory
// and drive totals, the modal error box, the module that holds an address,
// the running program's path, and the description of the exception being
// handled. SystemWin32.cpp answers the facts through Win32, SystemHost.cpp
// through POSIX for the native build; System.cpp builds the description.
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

struct ModuleLocation {
  std::string FileName;  // the module's file name, without its folder
  uintptr_t Offset;      // the address relative to the module's base
};
// The module that holds address; "?" and the address itself when none does.
ModuleLocation ModuleOfAddress(const void* address);
// The full path of the running program file; empty when it cannot be had.
std::string ProgramFilePath();

// The description of the exception being handled (call it inside a catch
// handler) for the handler code at codeAddress: "Exception <type> in module
// <module> at <address>." a line break, then the message with a closing "."
// when it lacks one; at most 1024 characters. <type> is the demangled type
// name, <module> the file name of the module that holds codeAddress and
// <address> its offset in it, 8 hex digits.
std::string ExceptionTextAt(const void* codeAddress);
