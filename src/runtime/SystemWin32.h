// The system's libraries, Win32 side: the search that loads them only from
// the system folder, a library loaded from there by name, a routine looked up
// in it, and winmm's timer resolution through such a library. A program calls
// UseSystemFolderForLibraries as its first step and imports at load time
// only libraries that Windows itself takes from the system (the KnownDLLs
// and side-by-side assemblies); any other library goes through
// LoadSystemLibrary, so that a file of the same name beside the program or
// in the current folder is never loaded. Win32 only (SystemWin32.cpp).
#pragma once

#include <windows.h>

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) for the process,
// looked up at run time: Windows 7 without its update KB2533623 lacks it.
// False when the system has no such call or refuses it.
bool UseSystemFolderForLibraries();

// The library of that file name (without a folder) from the system folder,
// by its full path; its own dependencies are searched from that folder
// first. Null when it cannot be loaded. The caller frees it (FreeLibrary).
HMODULE LoadSystemLibrary(const wchar_t* name);

// The routine name of module as a pointer of type Routine; null when module
// is null or has no such routine.
template <class Routine>
Routine SystemRoutine(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Routine>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

// Timers and sleeps of the process end on the millisecond for the scope:
// timeBeginPeriod(1) of winmm.dll from the system folder at construction,
// timeEndPeriod(1) and the library released at the end. Without the library
// the system's default tick stays. Never copied.
class ScopedTimerPeriod {
 public:
  ScopedTimerPeriod();
  ~ScopedTimerPeriod();
  ScopedTimerPeriod(const ScopedTimerPeriod&) = delete;
  ScopedTimerPeriod& operator=(const ScopedTimerPeriod&) = delete;

 private:
  using Period = UINT(WINAPI*)(UINT);
  HMODULE winmm_ = nullptr;
  Period end_ = nullptr;  // set once the period has begun
};
