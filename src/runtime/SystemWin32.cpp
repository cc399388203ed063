// Memory and drive facts, the fatal box, modules and the program path,
// Win32 build; the system's libraries.
#include <windows.h>

#include <string>

#include "runtime/System.h"
#include "runtime/SystemWin32.h"

bool QueryMemory(MemoryStatus& status) {
  MEMORYSTATUS m{};
  m.dwLength = sizeof m;
  GlobalMemoryStatus(&m);
  status = {m.dwTotalPhys, m.dwAvailPhys, m.dwTotalPageFile, m.dwAvailPageFile};
  return true;
}

void QueryDrive(const std::string& path, DriveStatus& status) {
  // GetDiskFreeSpaceExA is looked up at each call: early Windows 95 lacks it.
  using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  FreeSpaceEx freeSpaceEx = SystemRoutine<FreeSpaceEx>(kernel, "GetDiskFreeSpaceExA");
  if (freeSpaceEx) {
    ULARGE_INTEGER available, total, totalFree;
    if (freeSpaceEx(path.c_str(), &available, &total, &totalFree)) {
      status.Total = total.QuadPart;
      status.Free = available.QuadPart;
    }
  } else {
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (GetDiskFreeSpaceA(path.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                          &clusters)) {
      uint64_t cluster = uint64_t(sectorsPerCluster) * bytesPerSector;
      status.Total = clusters * cluster;
      status.Free = freeClusters * cluster;
    }
  }
  if (kernel) FreeLibrary(kernel);
  char fileSystem[129] = "";
  if (GetVolumeInformationA(path.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                            sizeof fileSystem))
    status.FileSystem = fileSystem;
}

void ShowFatalBox(const std::string& text) {
  HWND owner = GetForegroundWindow();
  if (!owner) owner = GetDesktopWindow();
  MessageBoxA(owner, text.c_str(), "Error", MB_ICONERROR);
}

ModuleLocation ModuleOfAddress(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &module))
    return {"?", uintptr_t(address)};
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  std::string name = path;
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  return {name, uintptr_t(address) - uintptr_t(module)};
}

std::string ProgramFilePath() {
  char path[MAX_PATH] = "";
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n < MAX_PATH ? n : 0);
}

bool UseSystemFolderForLibraries() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  SetDirectories set = SystemRoutine<SetDirectories>(GetModuleHandleW(L"kernel32.dll"),
                                                     "SetDefaultDllDirectories");
  return set && set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  try {
    UINT size = GetSystemDirectoryW(nullptr, 0);
    if (size == 0) return nullptr;
    std::wstring path(size, L'\0');
    UINT n = GetSystemDirectoryW(&path[0], size);
    if (n == 0 || n >= size) return nullptr;
    path.resize(n);
    path += L'\\';
    path += name;
    // A full path with the altered search: what the library itself needs is
    // looked for in the system folder first, also where the process could
    // not limit its search (UseSystemFolderForLibraries).
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  } catch (...) {
    return nullptr;
  }
}

ScopedTimerPeriod::ScopedTimerPeriod() : winmm_(LoadSystemLibrary(L"winmm.dll")) {
  Period begin = SystemRoutine<Period>(winmm_, "timeBeginPeriod");
  Period end = SystemRoutine<Period>(winmm_, "timeEndPeriod");
  if (begin && end && begin(1) == 0) end_ = end;  // 0: TIMERR_NOERROR
}

ScopedTimerPeriod::~ScopedTimerPeriod() {
  if (end_) end_(1);
  if (winmm_) FreeLibrary(winmm_);
}
